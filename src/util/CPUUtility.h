#pragma once
// Processor feature detection. The flags themselves (HasMMX, Has3DNow, HasAVX2, HasAVX512)
// live with the raster, whose packed paths read them; detection sets them once at start.

// Runs the detection and sets the four flags. Idempotent.
void InitCPUFeatures();

// What the processor reported, whatever the flags are currently forced to. AVX2 and AVX-512
// (its foundation) count only when the system also saves their registers.
bool DetectedMMX();
bool Detected3DNow();
bool DetectedAVX2();
bool DetectedAVX512();

// Forces the feature flags for its lifetime (tests and benchmarks choose paths with it)
// and puts the previous values back afterwards.
class ScopedCPUFeatures {
public:
    ScopedCPUFeatures(bool mmx, bool now3d, bool avx2 = false, bool avx512 = false);
    ~ScopedCPUFeatures();
    ScopedCPUFeatures(const ScopedCPUFeatures&) = delete;
    ScopedCPUFeatures& operator=(const ScopedCPUFeatures&) = delete;

private:
    bool savedMMX_;
    bool saved3DNow_;
    bool savedAVX2_;
    bool savedAVX512_;
};
