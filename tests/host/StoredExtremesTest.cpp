// Hand-edited settings at the ends of the 32-bit range build and draw a show: every sum and
// product of stored integers is taken without overflow (run under UBSan to see it).

#include "host/SaverShow.h"
#include "host/ShowInstallation.h"
#include "sequencing/LumenfallSequences.h"

#include <gtest/gtest.h>

namespace {

const TParticleSequence& Item(TSaverShow& show, int32_t index)
{
    return dynamic_cast<const TParticleSequence&>(*show.Controler()->Sequences().Items(index));
}

} // namespace

TEST(StoredExtremes, MotionBlurAndZoomCentresAtTheLimitsOfTheirType)
{
    for (const int32_t extreme : {INT32_MAX, INT32_MIN}) {
        ShowInstallation installation;
        installation.settings.LogoEnabled = installation.settings.TextEnabled = true;
        installation.wave.MotionBlur = extreme;
        installation.wave.TransMapFilter = true;
        installation.wave.TransMapStyle = TTransMapStyle::tmsWavedZoomCombined;
        installation.wave.ZoomCenterX = extreme;
        installation.wave.ZoomCenterY = extreme;
        installation.settings.ActiveLogo.MotionBlur = extreme;
        installation.settings.ActiveText.MotionBlur = extreme;
        installation.settings.ActiveText.Text = "x";
        installation.settings.MorphDuration = kMaxDurationSeconds;
        BuiltShow built(installation, 200, 160);
        // Wave, morph, logo, morph, wave, morph, text, morph: the morphs blur by the mean.
        EXPECT_EQ(Item(built.show, 1).MotionBlur, extreme);
        EXPECT_EQ(Item(built.show, 5).MotionBlur, extreme);
        for (int frame = 0; frame < 3; ++frame) {
            built.now += 21;
            built.show.RenderFrame();
        }
    }
    ShowInstallation mixed;
    mixed.settings.LogoEnabled = true;
    mixed.wave.MotionBlur = INT32_MAX;
    mixed.settings.ActiveLogo.MotionBlur = INT32_MIN;
    BuiltShow built(mixed, 200, 160);
    EXPECT_EQ(Item(built.show, 1).MotionBlur, 0);
}
