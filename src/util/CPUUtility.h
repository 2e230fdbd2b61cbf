#pragma once
// Processor feature detection. The flags themselves (HasMMX, Has3DNow, HasAVX2) live with
// the raster, whose packed paths read them; detection sets them once at start.

// Runs the detection and sets HasMMX, Has3DNow and HasAVX2. Idempotent.
void InitCPUFeatures();

// What the processor reported, whatever the flags are currently forced to. AVX2 counts
// only when the system also saves the 256-bit registers.
bool DetectedMMX();
bool Detected3DNow();
bool DetectedAVX2();

// Forces the feature flags for its lifetime (tests and benchmarks choose paths with it)
// and puts the previous values back afterwards.
class ScopedCPUFeatures {
public:
    ScopedCPUFeatures(bool mmx, bool now3d, bool avx2 = false);
    ~ScopedCPUFeatures();
    ScopedCPUFeatures(const ScopedCPUFeatures&) = delete;
    ScopedCPUFeatures& operator=(const ScopedCPUFeatures&) = delete;

private:
    bool savedMMX_;
    bool saved3DNow_;
    bool savedAVX2_;
};
