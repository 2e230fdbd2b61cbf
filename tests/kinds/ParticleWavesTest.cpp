#include "kinds/ParticleWaves.h"

#include "kinds/BusyWaveConfig.h"

#include "util/CPUUtility.h"
#include "util/NumericConversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr float D = DegreesPerRadian;

uint32_t Red(TPixel c) { return c >> 16 & 0xFF; }
uint32_t Green(TPixel c) { return c >> 8 & 0xFF; }
uint32_t Blue(TPixel c) { return c & 0xFF; }

// The frame's points and colours by the formulas, with the C library's sine.
struct TReference {
    std::vector<TVector3d> Points;
    std::vector<TPixel> Colors;
    // Sum of |amplitude| per axis, which scales the sine's error.
    float AmplitudeSum[3] = {};
};

TReference Reference(const TParticleWaves& s)
{
    const int32_t n = s.ParticleCount;
    TReference r{std::vector<TVector3d>(size_t(n), ZeroPosition), std::vector<TPixel>(size_t(n), 0)};
    const float step = 360.0f / float(n);
    float TVector3d::*const coordinates[3] = {&TVector3d::X, &TVector3d::Y, &TVector3d::Z};
    for (size_t axis = 0; axis < 3; ++axis) {
        for (const auto& wave : s.Waves) {
            const TWaveComponent& c = wave[axis];
            const float a = c.AMBase + c.AMAmplitude * std::sin(s.Pos * c.AMFrequency / D);
            if (a == 0.0f)
                continue;
            const float f = (c.FMBase + c.FMAmplitude * std::sin(s.Pos * c.FMFrequency / D)) / D;
            r.AmplitudeSum[axis] += std::fabs(a);
            float t = 0.0f;
            for (int32_t k = 0; k < n; ++k, t = t + step)
                r.Points[size_t(k)].*coordinates[axis] += a * std::sin((t + c.Phase) * f);
        }
    }
    const auto channel = [&](float t, float freq, float shift, float amp, float base) {
        return uint32_t(std::clamp(TruncToInt(std::sin(t * freq / D + s.Pos * shift) * amp + base), 0, 255));
    };
    float t = 0.0f;
    for (int32_t k = 0; k < n; ++k, t = t + step)
        r.Colors[size_t(k)] = channel(t, s.FreqRed, s.ShiftRed, s.AmpRed, s.BaseRed) << 16 |
                              channel(t, s.FreqGreen, s.ShiftGreen, s.AmpGreen, s.BaseGreen) << 8 |
                              channel(t, s.FreqBlue, s.ShiftBlue, s.AmpBlue, s.BaseBlue);
    return r;
}

// One frame compared with the formulas: points within the sine's error, channels within
// the one step that error can cause at a truncation boundary.
void ExpectFrameMatchesTheFormulas(TParticleWaves& system)
{
    const TReference expected = Reference(system);
    system.Move();
    const float tolerance[3] = {expected.AmplitudeSum[0] * 3e-7f, expected.AmplitudeSum[1] * 3e-7f,
                                expected.AmplitudeSum[2] * 3e-7f};
    for (int32_t k = 0; k < system.ParticleCount; ++k) {
        SCOPED_TRACE(k);
        const TVector3d& p = system.Points[k];
        const TVector3d& e = expected.Points[size_t(k)];
        EXPECT_NEAR(p.X, e.X, tolerance[0]);
        EXPECT_NEAR(p.Y, e.Y, tolerance[1]);
        EXPECT_NEAR(p.Z, e.Z, tolerance[2]);
        const TPixel c = system.Colors[k];
        const TPixel ec = expected.Colors[size_t(k)];
        EXPECT_EQ(c >> 24, 0u);
        EXPECT_NEAR(double(Red(c)), double(Red(ec)), 1.0);
        EXPECT_NEAR(double(Green(c)), double(Green(ec)), 1.0);
        EXPECT_NEAR(double(Blue(c)), double(Blue(ec)), 1.0);
    }
}

TEST(ParticleWavesTest, DefaultPresetWithFourParticlesLiesOnTheCircleInBlack)
{
    TParticleWaves system;
    system.ApplyWaveConfig(TWaveConfig());
    system.SetParticleCount(4);
    system.Move();
    const TVector3d expected[4] = {{128, 0, 0}, {0, 128, 0}, {-128, 0, 0}, {0, -128, 0}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(system.Points[k].X, expected[k].X, 1e-4f) << k;
        EXPECT_NEAR(system.Points[k].Y, expected[k].Y, 1e-4f) << k;
        EXPECT_EQ(system.Points[k].Z, 0.0f) << k;
        EXPECT_EQ(system.Colors[k], 0u) << k;
    }
}

TEST(ParticleWavesTest, EveryWaveAndColourFollowsTheFormulasFrameAfterFrame)
{
    for (int32_t particles : {1, 6, 1001}) {
        SCOPED_TRACE(particles);
        TWaveConfig config;
        MakeBusy(config, particles);
        // A wave whose amplitude is exactly 0 is skipped, so even a NaN phase is harmless.
        config.Waves[2][waY] = {std::nanf(""), 0.0f, 50.0f, 0.0f, 1.0f, 0.0f, 0.0f};
        TParticleWaves system;
        system.ApplyWaveConfig(config);
        for (int frame = 0; frame < 3; ++frame)
            ExpectFrameMatchesTheFormulas(system);
    }
}

TEST(ParticleWavesTest, ColourChannelsClampToTheirByte)
{
    TWaveConfig config;
    config.ParticleCount = 360;
    config.AmpRed = 200.0f;
    config.BaseRed = 200.0f;
    config.BaseGreen = -100.0f;
    config.AmpGreen = 50.0f;
    config.BaseBlue = std::numeric_limits<float>::quiet_NaN();
    TParticleWaves system;
    system.ApplyWaveConfig(config);
    system.Move();
    uint32_t highest = 0;
    uint32_t lowest = 255;
    for (int32_t k = 0; k < system.ParticleCount; ++k) {
        const TPixel c = system.Colors[k];
        EXPECT_EQ(c & 0xFF00FFFF, 0u) << k; // green and blue 0, nothing above red
        highest = std::max(highest, Red(c));
        lowest = std::min(lowest, Red(c));
    }
    EXPECT_EQ(highest, 255u);
    EXPECT_EQ(lowest, 0u);

    // Beyond the integer range the conversion gives INT32_MIN, as the processor's does: black.
    system.BaseRed = std::numeric_limits<float>::infinity();
    system.Move();
    for (int32_t k = 0; k < system.ParticleCount; ++k)
        EXPECT_EQ(system.Colors[k], 0u) << k;
}

TEST(ParticleWavesTest, AxesWithoutAmplitudeStayZero)
{
    TWaveConfig config;
    MakeBusy(config, 97);
    for (auto& wave : config.Waves) {
        wave[waZ] = {30.0f, 0.0f, 0.0f, 5.0f, 2.0f, 1.0f, 1.0f};
        // Zero at Pos 0 only: the amplitude modulation starts at sin(0).
        wave[waX] = {30.0f, 0.0f, 40.0f, 5.0f, 2.0f, 1.0f, 1.0f};
    }
    config.Pos = 0.0f;
    TParticleWaves system;
    system.ApplyWaveConfig(config);
    system.Move();
    for (int32_t k = 0; k < system.ParticleCount; ++k) {
        EXPECT_EQ(system.Points[k].X, 0.0f) << k;
        EXPECT_EQ(system.Points[k].Z, 0.0f) << k;
    }
    system.Move();
    EXPECT_NE(system.Points[1].X, 0.0f);
    EXPECT_EQ(system.Points[1].Z, 0.0f);
}

TEST(ParticleWavesTest, PosAdvancesBySpeedEveryFrameAndTheRotationByRot)
{
    TWaveConfig config;
    config.Pos = 1.5f;
    config.Speed = 0.07f;
    config.Angle = {10.0f, 20.0f, 30.0f};
    config.Rot = {1.0f, -2.0f, 0.5f};
    config.RenderMode = TRenderMode::rmDrawStars;
    TParticleWaves system;
    system.ApplyWaveConfig(config);
    EXPECT_EQ(system.RenderMode, TRenderMode::rmDrawStars);
    float pos = config.Pos;
    for (int frame = 0; frame < 250; ++frame) {
        system.Move();
        pos = pos + config.Speed;
    }
    EXPECT_EQ(system.Pos, pos);
    EXPECT_EQ(config.Pos, 1.5f);
    EXPECT_FLOAT_EQ(system.Angle.X, 10.0f + 250 * 1.0f);
    EXPECT_FLOAT_EQ(system.Angle.Y, 20.0f - 250 * 2.0f);

    // Applying again restarts from the configuration.
    system.ApplyWaveConfig(config);
    EXPECT_EQ(system.Pos, 1.5f);
    EXPECT_EQ(system.Angle.X, 10.0f);
}

TEST(ParticleWavesTest, WithoutParticlesNothingIsDrawnAndTimeStillRuns)
{
    TWaveConfig config;
    MakeBusy(config, 0);
    TParticleWaves system;
    system.ApplyWaveConfig(config);
    TDIBRaster raster(64, 48);
    std::fill(raster.Bits(), raster.Bits() + raster.PixelCount(), 0x123456u);
    system.Raster = &raster;
    TWorld3d world(ZeroPosition, -560.0f, ZeroAngle, {32, 24});
    world.Add(&system);
    world.StepAll();
    EXPECT_EQ(system.Pos, config.Pos + config.Speed);
    EXPECT_TRUE(std::all_of(raster.Bits(), raster.Bits() + raster.PixelCount(),
                            [](TPixel p) { return p == 0x123456u; }));
}

} // namespace

TEST(ParticleWavesTest, WidePathsGiveTheFourLanePointsAndColoursBitForBit)
{
    if (!DetectedAVX2())
        GTEST_SKIP() << "no AVX2";
    // A count that leaves a remainder of every vector width; the second preset drives the
    // colour arguments beyond the sine's fast range.
    for (float pos : {3.7f, 250000.0f}) {
        TWaveConfig config;
        MakeBusy(config, 995);
        config.Pos = pos;
        config.ShiftRed = 1.3f;
        config.ShiftBlue = -0.7f;
        TParticleWaves four, eight, sixteen;
        four.ApplyWaveConfig(config);
        eight.ApplyWaveConfig(config);
        sixteen.ApplyWaveConfig(config);
        for (int frame = 0; frame < 3; ++frame) {
            {
                ScopedCPUFeatures features(true, false, false);
                four.Move();
            }
            {
                ScopedCPUFeatures features(true, false, true);
                eight.Move();
            }
            const size_t n = size_t(config.ParticleCount);
            ASSERT_EQ(std::memcmp(four.Points, eight.Points, n * sizeof(TVector3d)), 0) << pos << " " << frame;
            ASSERT_EQ(std::memcmp(four.Colors, eight.Colors, n * sizeof(TPixel)), 0) << pos << " " << frame;
            if (!DetectedAVX512())
                continue;
            {
                ScopedCPUFeatures features(true, false, true, true);
                sixteen.Move();
            }
            ASSERT_EQ(std::memcmp(four.Points, sixteen.Points, n * sizeof(TVector3d)), 0) << pos << " " << frame;
            ASSERT_EQ(std::memcmp(four.Colors, sixteen.Colors, n * sizeof(TPixel)), 0) << pos << " " << frame;
        }
    }
}
