#pragma once
// Processor feature detection. The flags themselves (HasMMX, Has3DNow) live with the
// raster, whose packed paths read them; detection sets them once at start.

// Runs the detection and sets HasMMX and Has3DNow. Idempotent.
void InitCPUFeatures();

// What the processor reported, whatever the flags are currently forced to.
bool DetectedMMX();
bool Detected3DNow();

// Forces the feature flags for its lifetime (tests and benchmarks choose paths with it)
// and puts the previous values back afterwards.
class ScopedCPUFeatures {
public:
    ScopedCPUFeatures(bool mmx, bool now3d);
    ~ScopedCPUFeatures();
    ScopedCPUFeatures(const ScopedCPUFeatures&) = delete;
    ScopedCPUFeatures& operator=(const ScopedCPUFeatures&) = delete;

private:
    bool savedMMX_;
    bool saved3DNow_;
};
