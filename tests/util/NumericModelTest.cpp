#include "graphics/GfxTool.h"
#include "host/FPUControl.h"
#include "util/CPUUtility.h"
#include "util/NumericConversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(NumericModel, TruncationTowardZeroAndTheOutOfRangeValue)
{
    EXPECT_EQ(TruncToInt(2.9f), 2);
    EXPECT_EQ(TruncToInt(-2.9f), -2);
    EXPECT_EQ(TruncToInt(-0.5f), 0);
    EXPECT_EQ(TruncToInt(std::numeric_limits<float>::quiet_NaN()), INT32_MIN);
    EXPECT_EQ(TruncToInt(std::numeric_limits<float>::infinity()), INT32_MIN);
    EXPECT_EQ(TruncToInt(-std::numeric_limits<float>::infinity()), INT32_MIN);
    EXPECT_EQ(TruncToInt(2147483648.0f), INT32_MIN);
    EXPECT_EQ(TruncToInt(-2147483648.0f), INT32_MIN);
    EXPECT_EQ(TruncToInt(2147483520.0f), 2147483520);
    EXPECT_EQ(TruncToInt(-2147483649.0), INT32_MIN);
    EXPECT_EQ(TruncToInt(-2147483648.9), INT32_MIN);
    EXPECT_EQ(TruncToInt(2147483647.9), INT32_MAX);
}

TEST(NumericModel, FloatArithmeticIsSinglePrecision)
{
    volatile float one = 1.0f, three = 3.0f;
    const float third = one / three;
    EXPECT_EQ(third, 0.333333343f);
    EXPECT_NE(double(third), 1.0 / 3.0);
}

#if defined(__i386__) || defined(__x86_64__)
TEST(FloatingPointUnit, ControlWordForSinglePrecisionAndTruncation)
{
    TFloatingPointUnit fpu;
    const uint16_t before = fpu.CurrentControlWord();
    EXPECT_EQ(fpu.SavedControlWord(), before);
    fpu.ResetControlWord();
    EXPECT_EQ(fpu.DefaultControlWord(), 0x037F);
    EXPECT_EQ(fpu.CurrentControlWord(), before); // reset does not load the word
    fpu.SetPrecision(0);
    fpu.SetRounding(3);
    EXPECT_EQ(fpu.CurrentControlWord(), 0x0C7F);
    fpu.SetPrecision(1);
    EXPECT_EQ(fpu.CurrentControlWord(), 0x0E7F);
    fpu.SetRounding(1);
    EXPECT_EQ(fpu.CurrentControlWord(), 0x067F);
    fpu.SetPrecision(2);
    fpu.SetRounding(0);
    EXPECT_EQ(fpu.CurrentControlWord(), 0x037F);
}
#endif

TEST(CPUFeatures, ForcingRestoresTheDetectedFlags)
{
    InitCPUFeatures();
    {
        ScopedCPUFeatures plain(false, false);
        EXPECT_FALSE(HasMMX);
        EXPECT_FALSE(Has3DNow);
        EXPECT_FALSE(HasAVX2);
        EXPECT_FALSE(HasAVX512);
        ScopedCPUFeatures all(true, true, true, true);
        EXPECT_TRUE(Has3DNow);
        EXPECT_TRUE(HasAVX2);
        EXPECT_TRUE(HasAVX512);
    }
    EXPECT_EQ(HasMMX, DetectedMMX());
    EXPECT_EQ(Has3DNow, Detected3DNow());
    EXPECT_EQ(HasAVX2, DetectedAVX2());
    EXPECT_EQ(HasAVX512, DetectedAVX512());
#if defined(__x86_64__)
    EXPECT_TRUE(DetectedMMX()); // every x86-64 processor has it
#endif
}
