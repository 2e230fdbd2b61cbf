#include "CfgDialogSupport.h"

#include "config/WavePreview.h"

#include <algorithm>

namespace {

void MakeRing(TWaveConfig& wave)
{
    wave.ParticleCount = 400;
    wave.Width = wave.Height = 100;
    wave.BaseRed = wave.BaseGreen = wave.BaseBlue = 255;
    wave.Waves[0][waX].AMBase = 30;
    wave.Waves[0][waY].AMBase = 30;
    wave.Speed = 0;
}

uint32_t BrightestChannel(const TDIBRaster& raster)
{
    uint32_t brightest = 0;
    for (int64_t i = 0; i < raster.PixelCount(); ++i)
        brightest = std::max({brightest, raster.Bits()[i] & 0xFF, (raster.Bits()[i] >> 8) & 0xFF, (raster.Bits()[i] >> 16) & 0xFF});
    return brightest;
}

TEST(WavePreview, DragAngles)
{
    const TVector3d corner = TWavePreview::DragAngle(0, 0, 209, 185, false);
    EXPECT_EQ(corner.X, -89);
    EXPECT_EQ(corner.Y, -89);
    EXPECT_EQ(corner.Z, 0);
    const TVector3d shifted = TWavePreview::DragAngle(0, 0, 209, 185, true);
    EXPECT_EQ(shifted.X, -89);
    EXPECT_EQ(shifted.Y, 0);
    EXPECT_EQ(shifted.Z, -89);
    const TVector3d centre = TWavePreview::DragAngle(104, 92, 209, 185, false);
    EXPECT_EQ(centre.X, -179);
    EXPECT_EQ(centre.Y, -179);
    // Positions left of or above the box (the mouse leaves it while held) stay integers.
    EXPECT_EQ(TWavePreview::DragAngle(-300, -300, 209, 185, false).X, -((-300 + 92) * 180 / 185));
}

TEST(WavePreview, DraggingTurnsTheSystemOnlyWhileAButtonIsHeld)
{
    TWaveConfig wave, applied;
    MakeRing(wave);
    TWavePreview preview(QSize(209, 185));
    preview.Apply(wave, applied);
    preview.SetDraggable(true);
    SendMouse(preview, QEvent::MouseMove, QPoint(0, 0), Qt::NoButton);
    EXPECT_EQ(preview.System().Angle.X, 0);
    SendMouse(preview, QEvent::MouseMove, QPoint(0, 0), Qt::RightButton);
    EXPECT_EQ(preview.System().Angle.X, -89);
    EXPECT_EQ(preview.System().Angle.Y, -89);
    SendMouse(preview, QEvent::MouseMove, QPoint(0, 0), Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(preview.System().Angle.Y, 0);
    EXPECT_EQ(preview.System().Angle.Z, -89);
    // The presets are not touched.
    EXPECT_EQ(applied.Angle.X, 0);
    EXPECT_EQ(wave.Angle.X, 0);

    TWavePreview fixed(QSize(409, 309));
    fixed.Apply(wave, applied);
    SendMouse(fixed, QEvent::MouseMove, QPoint(0, 0), Qt::LeftButton);
    EXPECT_EQ(fixed.System().Angle.X, 0);
}

TEST(WavePreview, FramesFollowThePresetsFilters)
{
    TWaveConfig wave, applied;
    MakeRing(wave);
    wave.MotionBlur = 1;
    TWavePreview preview(QSize(209, 185));
    preview.Frame(); // nothing to show yet
    EXPECT_EQ(preview.FrameCount(), 0);

    // The plain path shows the frame as drawn: crowded stars reach full brightness.
    preview.Apply(wave, applied);
    preview.Frame();
    EXPECT_EQ(preview.FrameCount(), 1);
    EXPECT_GT(BrightestChannel(preview.Shown()), 200u);

    // With the map applied after drawing the box shows the frame smoothed and faded by half.
    wave.TransMapFilter = true;
    wave.TransMapMode = TTransMapMode::tmmApplyAfter;
    preview.Apply(wave, applied);
    preview.Frame();
    EXPECT_LE(BrightestChannel(preview.Shown()), 127u);

    // Applied before, it shows the frame as drawn again.
    wave.TransMapMode = TTransMapMode::tmmApplyBefore;
    preview.Apply(wave, applied);
    preview.Frame();
    EXPECT_GT(BrightestChannel(preview.Shown()), 200u);

    // Smoothing alone shows the drawn frame too, every frame.
    wave.TransMapFilter = false;
    wave.SmoothFilter = true;
    preview.Apply(wave, applied);
    for (int i = 0; i < 3; ++i) {
        preview.Frame();
        EXPECT_GT(BrightestChannel(preview.Shown()), 200u) << i;
    }
}

TEST(WavePreview, WorldAndRastersHaveTheBoxsSize)
{
    TWavePreview preview(QSize(209, 185));
    EXPECT_EQ(preview.BoxWidth(), 209);
    EXPECT_EQ(preview.BoxHeight(), 185);
    EXPECT_EQ(preview.System().World->EyeZ, -197);
    EXPECT_EQ(preview.System().World->Center.X, 104);
    EXPECT_EQ(preview.System().World->Center.Y, 92);
    EXPECT_EQ(preview.Shown().Width(), 210); // rasters are even
}

} // namespace
