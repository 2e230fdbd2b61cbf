#include "sequencing/LumenfallSequences.h"

#include "engine/ParticleSystem.h"
#include "graphics/GfxFilters.h"
#include "kinds/ParticleMorphing.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int32_t kSide = 16;

// A controller with one particle item drawing a one-particle system onto a surface, on a
// simulated clock.
struct TParticleSequenceFixture : ::testing::Test {
    uint32_t Now = 5000;
    ScopedSequencerClock Clock{[this] { return Now; }};
    TDIBRaster Primary{kSide, kSide};
    TDIBRaster Secondary{kSide, kSide};
    TDrawingSurface Surface{Primary, Secondary};
    TTranslationMap Map{kSide, kSide};
    TWorld3d World{ZeroPosition, -560.0f, ZeroAngle, {kSide / 2, kSide / 2}};
    TParticleSystem System;
    TSequenceControler Controler;
    TParticleSequence Item{"Particles", &Controler};

    TParticleSequenceFixture()
    {
        System.SetParticleCount(1);
        System.Colors[0] = 0x00FFFFFF;
        World.Add(&System);
        Item.SetParticleSystem(&System);
        Item.SetSurface(&Surface);
        Item.SetTranslationMap(&Map);
        Item.MotionBlur = 8;
        Controler.Sequences().Add(&Item);
        Controler.SetLoop(true);
    }

    // The raster each of n display frames left current.
    std::vector<const TDIBRaster*> RastersOfFrames(int n)
    {
        std::vector<const TDIBRaster*> rasters;
        for (int i = 0; i < n; ++i) {
            Controler.Frame();
            rasters.push_back(&Surface.Current());
        }
        return rasters;
    }
};

} // namespace

TEST_F(TParticleSequenceFixture, SmoothingAlternatesTheRastersWithTheControlersFrames)
{
    Item.SmoothFilter = true;
    Controler.Start();
    EXPECT_EQ(RastersOfFrames(3), (std::vector<const TDIBRaster*>{&Primary, &Secondary, &Primary}));
}

TEST_F(TParticleSequenceFixture, TheLastFrameOfAnEndingItemFollowsTheCountedFrame)
{
    Item.SmoothFilter = true;
    Item.SetDuration(0);
    Controler.Start();
    // Two item frames in one display frame: the controller has counted the display frame
    // before the item's last frame, which therefore draws into the other raster.
    Controler.Frame();
    EXPECT_EQ(&Surface.Current(), &Secondary);
    EXPECT_EQ(Controler.FrameCount(), 1);
}

TEST_F(TParticleSequenceFixture, TheMapTakesPrecedenceOverSmoothing)
{
    Item.SmoothFilter = true;
    Item.TransMapFilter = true;
    Item.TransMapMode = TTransMapMode::tmmApplyAfter;
    Controler.Start();
    EXPECT_EQ(RastersOfFrames(2), (std::vector<const TDIBRaster*>{&Primary, &Primary}));
    // Drawn before the map, so the particle went through it into the second raster.
    EXPECT_EQ(Secondary.GetPixel(kSide / 2, kSide / 2), 0x00FFFFFFu);
}

TEST_F(TParticleSequenceFixture, WithoutFiltersTheItemDrawsIntoTheCurrentRaster)
{
    Surface.DrawSmoothed(System, 8, false); // Current is now Secondary
    Primary.FillRect({0, 0, kSide - 1, kSide - 1}, 0x00102030);
    Item.MotionBlur = 0x100 + 1; // only the low byte is the fade level
    Controler.Start();
    EXPECT_EQ(RastersOfFrames(2), (std::vector<const TDIBRaster*>{&Secondary, &Secondary}));
    EXPECT_EQ(Primary.GetPixel(0, 0), 0x00102030u);
    EXPECT_EQ(Secondary.GetPixel(kSide / 2, kSide / 2), 0x00FFFFFFu);
}

TEST_F(TParticleSequenceFixture, MissingReferencesAreClearErrors)
{
    Item.TransMapFilter = true;
    Item.SetTranslationMap(nullptr);
    Controler.Start();
    EXPECT_THROW(Controler.Frame(), EParticleSequenceError);
    Item.TransMapFilter = false;
    Item.SetSurface(nullptr);
    EXPECT_THROW(Controler.Frame(), EParticleSequenceError);
}

namespace {

struct TOneParticle : TParticleSystem {
    explicit TOneParticle(float x)
    {
        SetParticleCount(1);
        Points[0] = MakeVector3d(x, 0.0f, 0.0f);
    }
};

// A morph of n steps between two one-particle systems, from x = 0 to x = 8, drawn by a
// morph item; each test puts the item into the show.
struct TMorphSequenceFixture : ::testing::Test {
    static constexpr int32_t Steps = 4;

    uint32_t Now = 5000;
    ScopedSequencerClock Clock{[this] { return Now; }};
    TDIBRaster Primary{kSide, kSide};
    TDIBRaster Secondary{kSide, kSide};
    TDrawingSurface Surface{Primary, Secondary};
    TWorld3d World{ZeroPosition, -560.0f, ZeroAngle, {kSide / 2, kSide / 2}};
    TOneParticle From{0.0f};
    TOneParticle To{8.0f};
    TParticleMorphing Morph{From, To, Steps};
    TSequenceControler Controler;
    TParticleMorphSequence Item{"Morphing", &Controler};
    TSequence Pause{"Pause", &Controler};

    TMorphSequenceFixture()
    {
        World.Add(&Morph);
        Item.SetParticleSystem(&Morph);
        Item.SetSurface(&Surface);
        Item.SetDuration(0); // plays no part in a morph's length
    }
};

} // namespace

TEST_F(TMorphSequenceFixture, RunsItsStepsAndUpdatesTheMorphOnceMorePerActivation)
{
    Controler.Sequences().Add(&Item);
    Controler.Sequences().Add(&Pause);
    Controler.Start();
    EXPECT_EQ(Morph.FrameCounter(), 0);
    for (int32_t frame = 1; frame < Steps; ++frame) {
        Controler.Frame();
        EXPECT_TRUE(Item.IsRunning());
        EXPECT_EQ(Controler.Current(), &Item);
    }
    Now += 100000; // time plays no part either
    Controler.Frame();
    EXPECT_EQ(Controler.Current(), &Pause);
    EXPECT_EQ(Morph.FrameCounter(), Steps + 1);
    EXPECT_FLOAT_EQ(Morph.Points[0].X, 10.0f); // one step beyond the target
}

TEST_F(TMorphSequenceFixture, SuccessiveActivationsRunForwardAndThenBack)
{
    // The same item twice in a row, as around a logo.
    Controler.Sequences().Add(&Item);
    Controler.Sequences().Add(&Item);
    Controler.Start();
    Controler.Frame();
    EXPECT_FLOAT_EQ(Morph.Points[0].X, 2.0f); // from 0 toward 8 in steps of 2
    for (int32_t frame = 2; frame <= Steps; ++frame)
        Controler.Frame();
    ASSERT_EQ(Controler.CurrentIndex(), 1);
    EXPECT_EQ(Morph.FrameCounter(), 0); // prepared afresh
    Controler.Frame();
    EXPECT_FLOAT_EQ(Morph.Points[0].X, 6.0f); // back from 8 toward 0
    EXPECT_EQ(&Morph.Source(), &From);        // swapped again for the next run
}

TEST(ParticleMorphSequence, NeedsAMorphingSystem)
{
    TSequenceControler controler;
    TParticleMorphSequence item("Morphing", &controler);
    EXPECT_THROW(item.IsRunning(), EParticleSequenceError);
    item.Start(); // nothing to prepare
    TParticleSystem plain;
    item.SetParticleSystem(&plain);
    item.Stop();
    EXPECT_THROW(item.Start(), EParticleSequenceError);
}
