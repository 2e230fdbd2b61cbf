#include "util/FastSine.h"

#include "util/CPUUtility.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

#if defined(__SSE2__)
__attribute__((target("avx2"))) void StoreFastSine8(const float* x, float* y)
{
    _mm256_storeu_ps(y, FastSine8(_mm256_loadu_ps(x)));
}

__attribute__((target("avx512f"))) void StoreFastSine16(const float* x, float* y)
{
    _mm512_storeu_ps(y, FastSine16(_mm512_loadu_ps(x)));
}
#endif

// Every 251st float from 0 up to the end of the fast range, with both signs, covers the
// arguments of the wave and colour sines, which run from the chain's few degrees to Pos
// times the shift after hours of frames; the bound is that of an exhaustive run.
TEST(FastSineTest, StaysWithinTwoToTheMinus23OfSinfOverTheFastRange)
{
    const uint32_t last = std::bit_cast<uint32_t>(FastSineRange);
    std::vector<float> arguments;
    std::vector<float> sines;
    double worst = 0.0;
    float worstArgument = 0.0f;
    for (uint64_t bits = 0; bits <= last;) {
        arguments.clear();
        for (; arguments.size() < 4096 && bits <= last; bits += 251) {
            arguments.push_back(std::bit_cast<float>(uint32_t(bits)));
            arguments.push_back(-arguments.back());
        }
        sines.resize(arguments.size());
        FastSines(arguments.data(), sines.data(), arguments.size());
        for (size_t i = 0; i < arguments.size(); ++i) {
            const double error = std::fabs(double(sines[i]) - double(std::sin(arguments[i])));
            if (error > worst) {
                worst = error;
                worstArgument = arguments[i];
            }
        }
    }
    EXPECT_LE(worst, 0x1p-23) << "at " << worstArgument;
    EXPECT_GT(worst, 0.0);
}

TEST(FastSineTest, HugeInfiniteAndNaNArgumentsGiveWhatSinfGives)
{
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> x = {0.5f, std::nextafter(FastSineRange, inf), -1e30f, 3e38f, inf, -inf, std::nanf(""), 2.0f};
    std::vector<float> y(x.size());
    FastSines(x.data(), y.data(), x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        SCOPED_TRACE(x[i]);
        if (std::isnan(std::sin(x[i])))
            EXPECT_TRUE(std::isnan(y[i]));
        else if (std::fabs(x[i]) > FastSineRange)
            EXPECT_EQ(y[i], std::sin(x[i]));
        else
            EXPECT_NEAR(y[i], std::sin(x[i]), 0x1p-23);
        EXPECT_TRUE(std::isnan(y[i]) ? std::isnan(FastSine(x[i])) : FastSine(x[i]) == y[i]);
    }
}

TEST(FastSineTest, ArraysOfAnyLengthMayBeComputedInPlace)
{
    for (size_t count : {0u, 1u, 3u, 4u, 7u, 9u}) {
        std::vector<float> values;
        for (size_t i = 0; i < count; ++i)
            values.push_back(float(i) * 1.7f - 4.0f);
        const std::vector<float> arguments = values;
        FastSines(values.data(), values.data(), count);
        for (size_t i = 0; i < count; ++i)
            EXPECT_EQ(values[i], FastSine(arguments[i])) << count << " " << i;
    }
}

#if defined(__SSE2__)
// The same operations eight lanes wide: every result bit for bit, slow lanes included.
TEST(FastSineTest, EightAndSixteenLanesGiveTheFourLaneResultsBitForBit)
{
    if (!DetectedAVX2())
        GTEST_SKIP() << "no AVX2";
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> x = {0.0f, -0.0f, inf, -inf, std::nanf(""), 3e38f, -1e30f,
                            std::nextafter(FastSineRange, inf), FastSineRange, 1e-40f};
    for (uint64_t bits = 0; bits < 0x80000000u; bits += 40009) {
        x.push_back(std::bit_cast<float>(uint32_t(bits)));
        x.push_back(-x.back());
    }
    while (x.size() % 16 != 0)
        x.push_back(1.0f);
    for (size_t i = 0; i < x.size(); i += 16) {
        alignas(64) float four[16], wide[16];
        for (size_t q = 0; q < 16; q += 4)
            _mm_store_ps(four + q, FastSine4(_mm_loadu_ps(x.data() + i + q)));
        StoreFastSine8(x.data() + i, wide);
        StoreFastSine8(x.data() + i + 8, wide + 8);
        for (size_t lane = 0; lane < 16; ++lane)
            ASSERT_EQ(std::bit_cast<uint32_t>(four[lane]), std::bit_cast<uint32_t>(wide[lane])) << x[i + lane];
        if (!DetectedAVX512())
            continue;
        StoreFastSine16(x.data() + i, wide);
        for (size_t lane = 0; lane < 16; ++lane)
            ASSERT_EQ(std::bit_cast<uint32_t>(four[lane]), std::bit_cast<uint32_t>(wide[lane])) << x[i + lane];
    }
}
#endif

} // namespace
