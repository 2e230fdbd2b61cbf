#include "util/FastSine.h"

#include <cmath>

#if defined(__SSE2__)

__m128 FastSineDetail::WithSlowLanes(__m128 x, __m128 y, int fastLanes)
{
    alignas(16) float arguments[4];
    alignas(16) float results[4];
    _mm_store_ps(arguments, x);
    _mm_store_ps(results, y);
    for (int lane = 0; lane < 4; ++lane) {
        if ((fastLanes & (1 << lane)) == 0)
            results[lane] = std::sin(arguments[lane]);
    }
    return _mm_load_ps(results);
}

__m256 FastSineDetail::WithSlowLanes8(__m256 x, __m256 y, int fastLanes)
{
    alignas(32) float arguments[8];
    alignas(32) float results[8];
    _mm256_store_ps(arguments, x);
    _mm256_store_ps(results, y);
    for (int lane = 0; lane < 8; ++lane) {
        if ((fastLanes & (1 << lane)) == 0)
            results[lane] = std::sin(arguments[lane]);
    }
    return _mm256_load_ps(results);
}

void FastSines(const float* x, float* y, size_t count)
{
    size_t i = 0;
    for (; i + 4 <= count; i += 4)
        _mm_storeu_ps(y + i, FastSine4(_mm_loadu_ps(x + i)));
    if (i < count) {
        alignas(16) float rest[4] = {};
        for (size_t j = i; j < count; ++j)
            rest[j - i] = x[j];
        _mm_store_ps(rest, FastSine4(_mm_load_ps(rest)));
        for (size_t j = i; j < count; ++j)
            y[j] = rest[j - i];
    }
}

float FastSine(float x) { return _mm_cvtss_f32(FastSine4(_mm_set1_ps(x))); }

#else

void FastSines(const float* x, float* y, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        y[i] = std::sin(x[i]);
}

float FastSine(float x) { return std::sin(x); }

#endif
