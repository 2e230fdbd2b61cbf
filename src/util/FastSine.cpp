#include "util/FastSine.h"

#include <cmath>

#if defined(__SSE2__)

namespace {

// results[lane] := sinf(arguments[lane]) for the lanes whose bit is clear in fastLanes.
void SlowLanes(const float* arguments, float* results, int lanes, unsigned fastLanes)
{
    for (int lane = 0; lane < lanes; ++lane) {
        if ((fastLanes & (1u << lane)) == 0)
            results[lane] = std::sin(arguments[lane]);
    }
}

} // namespace

__m128 FastSineDetail::WithSlowLanes(__m128 x, __m128 y, int fastLanes)
{
    alignas(16) float arguments[4], results[4];
    _mm_store_ps(arguments, x);
    _mm_store_ps(results, y);
    SlowLanes(arguments, results, 4, unsigned(fastLanes));
    return _mm_load_ps(results);
}

__m256 FastSineDetail::WithSlowLanes8(__m256 x, __m256 y, int fastLanes)
{
    alignas(32) float arguments[8], results[8];
    _mm256_store_ps(arguments, x);
    _mm256_store_ps(results, y);
    SlowLanes(arguments, results, 8, unsigned(fastLanes));
    return _mm256_load_ps(results);
}

__m512 FastSineDetail::WithSlowLanes16(__m512 x, __m512 y, __mmask16 fastLanes)
{
    alignas(64) float arguments[16], results[16];
    _mm512_store_ps(arguments, x);
    _mm512_store_ps(results, y);
    SlowLanes(arguments, results, 16, fastLanes);
    return _mm512_load_ps(results);
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
