#include "kinds/ParticleMorphing.h"

#include "kinds/KindsTestSupport.h"
#include "util/NumericConversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

int32_t Red(TPixel p) { return int32_t((p >> 16) & 0xFF); }
int32_t Green(TPixel p) { return int32_t((p >> 8) & 0xFF); }

void Fill(TParticleSystem& system, int32_t count, const std::function<TVector3d(int32_t)>& point,
          const std::function<TPixel(int32_t)>& color)
{
    system.SetParticleCount(count);
    for (int32_t i = 0; i < count; ++i) {
        system.Points[i] = point(i);
        system.Colors[i] = color(i);
    }
}

// Source particle i sits at x = i, target particle i at y = i, so where a particle starts
// and where it ends tells which particles it was paired with.
struct TEnds {
    TParticleSystem Source;
    TParticleSystem Target;

    TEnds(int32_t sourceCount, int32_t targetCount)
    {
        Fill(Source, sourceCount, [](int32_t i) { return TVector3d{float(i), 0, 0}; }, [](int32_t i) { return TPixel(i); });
        Fill(Target, targetCount, [](int32_t i) { return TVector3d{0, float(i), 7}; },
             [](int32_t i) { return MakePixel(i, 0, 0); });
    }
};

void ExpectNear(const TVector3d& actual, const TVector3d& expected, const std::string& what)
{
    EXPECT_NEAR(actual.X, expected.X, 1e-3f) << what;
    EXPECT_NEAR(actual.Y, expected.Y, 1e-3f) << what;
    EXPECT_NEAR(actual.Z, expected.Z, 1e-3f) << what;
}

void Step(TParticleMorphing& morph, int32_t frames)
{
    for (int32_t i = 0; i < frames; ++i)
        morph.Move();
}

} // namespace

TEST(ParticleMorphingTest, SurplusParticlesAreSpreadEvenlyOverTheSmallerEnd)
{
    // 100 into 300: particles 100.. start on source particles 0, 0, 1, 1, ...
    TEnds growing(100, 300);
    TParticleMorphing spreading(growing.Source, growing.Target, 4);
    EXPECT_EQ(spreading.ParticleCount, 300);
    spreading.PrepareMorph();
    for (int32_t j = 0; j < 200; ++j) {
        EXPECT_EQ(spreading.Points[100 + j].X, float(j / 2)) << j;
        EXPECT_EQ(spreading.Colors[100 + j], TPixel(j / 2)) << j;
    }
    Step(spreading, 4);
    EXPECT_EQ(spreading.FrameCounter(), 4);
    for (int32_t i = 0; i < 300; ++i)
        ExpectNear(spreading.Points[i], growing.Target.Points[i], std::to_string(i));

    // 300 into 100: particles 100.. head for target particles 0, 0, 1, 1, ...
    TEnds shrinking(300, 100);
    TParticleMorphing gathering(shrinking.Source, shrinking.Target, 4);
    EXPECT_EQ(gathering.ParticleCount, 300);
    gathering.PrepareMorph();
    Step(gathering, 4);
    for (int32_t i = 0; i < 300; ++i)
        ExpectNear(gathering.Points[i], shrinking.Target.Points[i < 100 ? i : (i - 100) / 2], std::to_string(i));
}

TEST(ParticleMorphingTest, OneStepOrLessJumpsAtOnceKeepsTheColoursAndLaterFramesKeepMoving)
{
    TEnds ends(3, 3);
    ends.Target.Position = {10, 20, 30};
    ends.Target.Angle = {0, 0, 45};
    for (int32_t steps : {1, 0, -5}) {
        TParticleMorphing morph(ends.Source, ends.Target, steps);
        EXPECT_EQ(morph.Steps(), 1);
        morph.PrepareMorph();
        morph.Move();
        for (int32_t i = 0; i < 3; ++i) {
            ExpectNear(morph.Points[i], ends.Target.Points[i], std::to_string(i));
            EXPECT_EQ(morph.Colors[i], ends.Source.Colors[i]);
        }
        ExpectNear(morph.Position, ends.Target.Position, "position");
        EXPECT_EQ(morph.Angle.Z, 45.0f);

        // Past the last step the motion goes on; the colours stay.
        morph.Move();
        ExpectNear(morph.Points[2], {-2, 4, 14}, "second frame");
        ExpectNear(morph.Position, {20, 40, 60}, "second frame");
        EXPECT_EQ(morph.Colors[2], ends.Source.Colors[2]);
    }
}

TEST(ParticleMorphingTest, TheTurnRunsBetweenTheNormalisedAnglesNotTheShortWay)
{
    TEnds ends(1, 1);
    ends.Source.Angle = {-10, 720, 0};
    ends.Target.Angle = {10, 0, 90};
    ends.Source.SetRenderMode(TRenderMode::rmDrawStars);
    TParticleMorphing morph(ends.Source, ends.Target, 4);
    morph.PrepareMorph();
    // -10 counts as 350, so the turn to 10 goes back 340 degrees; 720 counts as 0.
    EXPECT_EQ(morph.Rot.X, -85.0f);
    EXPECT_EQ(morph.Rot.Y, 0.0f);
    EXPECT_EQ(morph.Rot.Z, 22.5f);
    EXPECT_EQ(morph.RenderMode, TRenderMode::rmDrawStars);
    Step(morph, 4);
    EXPECT_EQ(morph.Angle.X, -350.0f);
    EXPECT_EQ(morph.Angle.Y, 720.0f);
    EXPECT_EQ(morph.Angle.Z, 90.0f);
}

TEST(ParticleMorphingTest, ColoursFadeDuringAllButTheLastStepAndTruncate)
{
    TParticleSystem source;
    TParticleSystem target;
    Fill(source, 1, [](int32_t) { return ZeroPosition; }, [](int32_t) { return MakePixel(0, 255, 10); });
    Fill(target, 1, [](int32_t) { return ZeroPosition; }, [](int32_t) { return MakePixel(100, 0, 10); });
    TParticleMorphing morph(source, target, 3);
    morph.PrepareMorph();
    const int32_t expected[][2] = {{33, 170}, {66, 85}, {66, 85}, {66, 85}};
    for (const auto& [red, green] : expected) {
        morph.Move();
        EXPECT_EQ(morph.Colors[0], MakePixel(red, green, 10));
    }

    // Swapped, the next morph starts from the other end's colours.
    morph.SwapEnds();
    EXPECT_EQ(&morph.Source(), &target);
    morph.PrepareMorph();
    EXPECT_EQ(morph.FrameCounter(), 0);
    morph.Move();
    EXPECT_EQ(Red(morph.Colors[0]), 66);
    EXPECT_EQ(Green(morph.Colors[0]), 85);
}

TEST(ParticleMorphingTest, RefusesANewCountAndEndsThatNoLongerFit)
{
    TEnds ends(2, 5);
    TParticleMorphing morph(ends.Source, ends.Target, 10);
    ExpectCountRefused(morph, "TParticleMorphing.SetParticleCount : Cannot set ParticleCount of TParticleMorphing");

    // A grown end would be indexed past the morph's arrays, an empty one has nothing to pair.
    ends.Source.SetParticleCount(6);
    EXPECT_THROW(morph.PrepareMorph(), EParticleSystemError);
    ends.Source.SetParticleCount(0);
    EXPECT_THROW(morph.PrepareMorph(), EParticleSystemError);
    ends.Source.SetParticleCount(5);
    EXPECT_NO_THROW(morph.PrepareMorph());
}

TEST(ParticleMorphingTest, AWaveChainPassesSmoothlyIntoAPicture)
{
    constexpr int32_t W = 320, H = 240, Steps = 40;
    TWorld3d world = MakeSaverWorld(W, H);

    // A closed chain with a wavy radius and sine colours, as a wave system draws it.
    TParticleSystem wave;
    constexpr float TwoPi = 6.2831853f;
    Fill(wave, 1500,
         [](int32_t i) {
             const float t = TwoPi * float(i) / 1500.0f;
             const float r = 80.0f + 15.0f * std::sin(6.0f * t);
             return TVector3d{r * std::cos(t), r * std::sin(t), 25.0f * std::sin(3.0f * t)};
         },
         [](int32_t i) {
             const float t = TwoPi * float(i) / 1500.0f;
             return MakePixel(128 + TruncToInt(127.0f * std::sin(t)), 128 + TruncToInt(127.0f * std::cos(2.0f * t)), 255);
         });
    wave.Angle = {30, 20, 0};

    // The target: a picture of stripes and a block, sampled on a grid.
    TDIBRaster picture(100, 80);
    picture.FillRect({0, 0, 99, 79}, MakePixel(0, 60, 160));
    for (int32_t y = 0; y < 80; y += 10)
        picture.FillRect({0, y, 99, y + 4}, MakePixel(255, 160, 2 * y));
    picture.FillRect({30, 20, 69, 59}, MakePixel(40, 255, 40));
    TParticleSystem logo;
    logo.SetParticleCount(2000); // a whole 50 x 40 grid
    logo.GridFromRaster(picture, float(W * 2 / 3), float(H * 2 / 3));

    TParticleMorphing morph(wave, logo, Steps);
    world.Add(&wave);
    world.Add(&logo);
    world.Add(&morph);
    morph.PrepareMorph();

    TDIBRaster expected(W, H);
    TDIBRaster frame(W, H);
    // A prepared morph covers the source's pixels (where particles meet, the surplus
    // copies are plotted last, so colours may differ there).
    DrawFrame(wave, expected);
    DrawFrame(morph, frame);
    KeepFrame(frame, "morph_00");
    EXPECT_TRUE(std::equal(frame.Bits(), frame.Bits() + frame.PixelCount(), expected.Bits(),
                           [](TPixel a, TPixel b) { return (a != 0) == (b != 0); }));

    // No particle jumps: each frame moves it by about its share of the whole way.
    const std::vector<TScreenPoint> start(morph.ScreenPoints, morph.ScreenPoints + morph.ParticleCount);
    std::vector<TScreenPoint> previous = start;
    int32_t largestStep = 0;
    for (int32_t k = 1; k <= Steps; ++k) {
        morph.Move();
        DrawFrame(morph, frame);
        if (k % 10 == 0)
            KeepFrame(frame, "morph_" + std::to_string(k));
        for (size_t i = 0; i < previous.size(); ++i) {
            const TScreenPoint p = morph.ScreenPoints[i];
            largestStep = std::max({largestStep, std::abs(p.X - previous[i].X), std::abs(p.Y - previous[i].Y)});
            previous[i] = p;
        }
    }
    int32_t longestWay = 0;
    for (size_t i = 0; i < previous.size(); ++i)
        longestWay = std::max({longestWay, std::abs(previous[i].X - start[i].X), std::abs(previous[i].Y - start[i].Y)});
    EXPECT_GT(longestWay, 50);
    EXPECT_LE(largestStep, 2 * longestWay / Steps + 2);

    // At the end every particle sits on its grid point, up to a pixel edge crossed by
    // single-precision error.
    DrawFrame(logo, expected);
    KeepFrame(expected, "morph_target");
    for (size_t i = 0; i < previous.size(); ++i) {
        EXPECT_LE(std::abs(previous[i].X - logo.ScreenPoints[i].X), 1) << i;
        EXPECT_LE(std::abs(previous[i].Y - logo.ScreenPoints[i].Y), 1) << i;
    }
}
