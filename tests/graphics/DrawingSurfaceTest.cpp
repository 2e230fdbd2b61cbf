#include "graphics/DrawingSurface.h"

#include "engine/ParticleSystem.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

constexpr int32_t kSide = 16;
constexpr TPixel kWhite = 0x00FFFFFF;
constexpr TPixel kParticle = 0x00C08040;

// Two 16 x 16 rasters on a surface and a one-particle system that lands on pixel
// (ParticleX, ParticleY) and moves one pixel right per frame when given a velocity.
struct TSurfaceFixture : ::testing::Test {
    TDIBRaster Primary{kSide, kSide};
    TDIBRaster Secondary{kSide, kSide};
    TDrawingSurface Surface{Primary, Secondary};
    TWorld3d World{ZeroPosition, -560.0f, ZeroAngle, {kSide / 2, kSide / 2}};
    TParticleSystem System;

    static constexpr int32_t ParticleX = 10;
    static constexpr int32_t ParticleY = 12;

    TSurfaceFixture()
    {
        System.SetParticleCount(1);
        System.Points[0] = MakeVector3d(ParticleX - kSide / 2, ParticleY - kSide / 2, 0.0f);
        System.Colors[0] = kParticle;
        World.Add(&System);
    }

    static int64_t LitPixels(const TDIBRaster& raster)
    {
        int64_t lit = 0;
        for (int64_t i = 0; i < raster.PixelCount(); ++i)
            lit += raster.Bits()[i] != 0;
        return lit;
    }
    static void Fill(TDIBRaster& raster, TPixel color) { raster.FillRect({0, 0, kSide - 1, kSide - 1}, color); }
};

} // namespace

TEST_F(TSurfaceFixture, DrawWithoutBlurShowsOnlyThisFramesParticles)
{
    Fill(Primary, kWhite);
    System.Velocity = MakeVector3d(1.0f, 0.0f, 0.0f);
    Surface.Draw(System, 0);
    Surface.Draw(System, 0);
    EXPECT_EQ(&Surface.Current(), &Primary);
    EXPECT_EQ(System.Raster, &Primary);
    EXPECT_EQ(LitPixels(Primary), 1);
    // Move runs before plotting: two frames have moved the particle two pixels.
    EXPECT_EQ(Primary.GetPixel(ParticleX + 2, ParticleY), kParticle);
    EXPECT_EQ(LitPixels(Secondary), 0);
}

TEST_F(TSurfaceFixture, SmoothedDrawingAlternatesTheRastersAndSmoothsThePreviousPicture)
{
    Secondary.FillRect({5, 5, 5, 5}, kWhite);
    Surface.DrawSmoothed(System, 1, true);
    ASSERT_EQ(&Surface.Current(), &Primary);
    // The bright pixel of the other raster, smoothed into its four neighbours (255 / 4)
    // and faded by half; the particle is drawn after the fade.
    EXPECT_EQ(Primary.GetPixel(5, 4), 0x001F1F1Fu);
    EXPECT_EQ(Primary.GetPixel(4, 5), 0x001F1F1Fu);
    EXPECT_EQ(Primary.GetPixel(5, 5), 0u);
    EXPECT_EQ(Primary.GetPixel(ParticleX, ParticleY), kParticle);
    EXPECT_EQ(Secondary.GetPixel(5, 5), kWhite); // the source is only read

    Surface.DrawSmoothed(System, 1, false);
    EXPECT_EQ(&Surface.Current(), &Secondary);
    EXPECT_EQ(System.Raster, &Secondary);
    EXPECT_EQ(Secondary.GetPixel(ParticleX, ParticleY), kParticle);
    Surface.DrawSmoothed(System, 1, true);
    EXPECT_EQ(&Surface.Current(), &Primary);

    // A plain item keeps drawing where the last smoothed frame drew.
    Surface.DrawSmoothed(System, 1, false);
    Surface.Draw(System, 1);
    EXPECT_EQ(&Surface.Current(), &Secondary);
}

TEST_F(TSurfaceFixture, MapAfterDrawingWithoutBlurLeavesBlack)
{
    TTranslationMap map(kSide, kSide);
    Fill(Primary, kWhite);
    Surface.DrawTransformed(System, 0, map, TTransMapMode::tmmApplyAfter);
    EXPECT_EQ(LitPixels(Primary), 0);
    // The particles did go through the map into the second raster.
    EXPECT_EQ(Secondary.GetPixel(ParticleX, ParticleY), kParticle);
}

TEST_F(TSurfaceFixture, MapRunsFromPrimaryIntoSecondaryAndIsSmoothedBack)
{
    // Every pixel takes the one to its left: the picture moves one pixel right.
    TTranslationMap map(kSide, kSide);
    for (int32_t y = 0; y < kSide; ++y)
        for (int32_t x = 0; x < kSide; ++x)
            map.SetEntry(x, y, x - 1, y);
    Primary.FillRect({5, 5, 5, 5}, kWhite);
    Surface.DrawSmoothed(System, 8, false); // leaves Current on Secondary
    Fill(Secondary, 0);

    Surface.DrawTransformed(System, 1, map, TTransMapMode::tmmApplyBefore);
    EXPECT_EQ(&Surface.Current(), &Primary);
    EXPECT_EQ(System.Raster, &Primary);
    EXPECT_EQ(Secondary.GetPixel(6, 5), kWhite);
    EXPECT_EQ(Secondary.GetPixel(ParticleX, ParticleY), 0u); // drawn only after the map
    EXPECT_EQ(Primary.GetPixel(6, 4), 0x001F1F1Fu);
    EXPECT_EQ(Primary.GetPixel(6, 5), 0u);
    EXPECT_EQ(Primary.GetPixel(ParticleX, ParticleY), kParticle);
}

TEST_F(TSurfaceFixture, UnknownMapModeDrawsNothing)
{
    TTranslationMap map(kSide, kSide);
    Surface.DrawTransformed(System, 8, map, static_cast<TTransMapMode>(2));
    EXPECT_EQ(LitPixels(Primary), 0);
    EXPECT_EQ(System.Raster, nullptr);
}

TEST(DrawingSurface, OneRasterForBothIsRefusedByTheFilters)
{
    TDIBRaster raster(kSide, kSide);
    TDrawingSurface surface(raster, raster);
    TParticleSystem system;
    EXPECT_THROW(surface.DrawSmoothed(system, 8, true), EGfxFilterException);
}

TEST(DrawingSurface, MappedFramesThenSmoothedOnesLeaveBothRastersAsMapThenSmoothingDid)
{
    // Several bands of rows; a shift map whose rows read up to a tenth of the height away.
    constexpr int32_t w = 402, h = 240;
    TDIBRaster primary(w, h), secondary(w, h), refPrimary(w, h), refSecondary(w, h);
    std::mt19937 random(5);
    for (int64_t k = 0; k < primary.PixelCount(); ++k) {
        primary.Bits()[k] = refPrimary.Bits()[k] = random();
        secondary.Bits()[k] = refSecondary.Bits()[k] = random();
    }
    TSinMagicParams shift{};
    shift[smrAmplitudesX] = {24.0f, 6.0f, 0.0f, 0.0f};
    shift[smrFrequenciesX] = {2.0f, 9.0f, 0.0f, 0.0f};
    shift[smrAmplitudesY] = {30.0f, 0.0f, 0.0f, 0.0f};
    shift[smrFrequenciesY] = {1.0f, 0.0f, 0.0f, 0.0f};
    TTranslationMap map(w, h);
    map.BuildShiftMap(shift);

    // The same few particles on both surfaces.
    TWorld3d world{ZeroPosition, -560.0f, ZeroAngle, {w / 2, h / 2}};
    TWorld3d refWorld{ZeroPosition, -560.0f, ZeroAngle, {w / 2, h / 2}};
    TParticleSystem system, refSystem;
    for (TParticleSystem* s : {&system, &refSystem}) {
        s->SetParticleCount(3);
        for (int32_t k = 0; k < 3; ++k) {
            s->Points[k] = MakeVector3d(float(k * 40 - 40), float(k * 20 - 30), 0.0f);
            s->Colors[k] = 0x00FFC080;
        }
    }
    world.Add(&system);
    refWorld.Add(&refSystem);
    TDrawingSurface surface(primary, secondary), reference(refPrimary, refSecondary);
    TFastSmooth smooth;
    auto expectSame = [&](const char* step) {
        const size_t bytes = size_t(primary.PixelCount()) * sizeof(TPixel);
        EXPECT_EQ(std::memcmp(primary.Bits(), refPrimary.Bits(), bytes), 0) << step;
        EXPECT_EQ(std::memcmp(secondary.Bits(), refSecondary.Bits(), bytes), 0) << step;
    };
    for (TTransMapMode mode : {TTransMapMode::tmmApplyBefore, TTransMapMode::tmmApplyAfter}) {
        surface.DrawTransformed(system, 3, map, mode);
        if (mode == TTransMapMode::tmmApplyAfter)
            reference.DrawSystem(refSystem);
        map.Execute(refPrimary, refSecondary);
        smooth.ExecuteFaded(refSecondary, refPrimary, 3);
        if (mode == TTransMapMode::tmmApplyBefore)
            reference.DrawSystem(refSystem);
        expectSame("mapped");
    }
    // A morph or a smoothed item next smooths from whichever raster the frame before left.
    for (bool even : {true, false, true}) {
        surface.DrawSmoothed(system, 5, even);
        reference.DrawSmoothed(refSystem, 5, even);
        expectSame("smoothed");
    }
}
