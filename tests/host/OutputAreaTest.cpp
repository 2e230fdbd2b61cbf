#include "host/OutputArea.h"

#include "graphics/GfxTool.h"
#include "host/ShowInstallation.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

const std::vector<TMonitor> kTwoMonitors{{0, 0, 200, 100, true}, {200, 0, 100, 100, false}};
const QSize kDesktop(300, 100);
const QRect kLeft(0, 0, 200, 100), kRight(200, 0, 100, 100);

// A window buffer with an alpha channel, cleared to see-through, as a compositor hands out.
QImage WindowBuffer(const QSize& size)
{
    QImage buffer(size, QImage::Format_ARGB32_Premultiplied);
    buffer.fill(Qt::transparent);
    return buffer;
}

QImage Paint(const TSaverShow& show, const TOutputArea& area)
{
    QImage buffer = WindowBuffer(area.Size);
    QPainter painter(&buffer);
    PaintOutputArea(painter, show, area, kDesktop);
    return buffer;
}

bool AllOpaque(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 255)
                return false;
    return true;
}

TEST(OutputArea, EachWindowTakesItsMonitorsAndBlackensTheRest)
{
    TBlankerSettings settings;
    settings.ActiveWave->Width = 100;
    settings.ActiveWave->Height = 50;
    settings.MultiMonitorMode = TMultiMonitorMode::mmAnimatePrimary;

    const TOutputArea whole = LayOutArea(QRect(QPoint(0, 0), kDesktop), kTwoMonitors, kDesktop, &settings);
    EXPECT_EQ(whole.Monitors.size(), 2u);
    EXPECT_EQ(whole.Uncovered, QRegion(kRight)) << "only the primary monitor shows the frame";

    const TOutputArea right = LayOutArea(kRight, kTwoMonitors, kDesktop, &settings);
    ASSERT_EQ(right.Monitors.size(), 1u);
    EXPECT_FALSE(right.Monitors[0].Primary);
    EXPECT_EQ(right.Offset, QPoint(200, 0));
    EXPECT_EQ(right.Uncovered, QRegion(0, 0, 100, 100)) << "window coordinates, all black";

    settings.MultiMonitorMode = TMultiMonitorMode::mmAnimateEach;
    EXPECT_TRUE(LayOutArea(kRight, kTwoMonitors, kDesktop, &settings).Uncovered.isEmpty());
    EXPECT_EQ(LayOutArea(kRight, kTwoMonitors, kDesktop, nullptr).Uncovered, QRegion(0, 0, 100, 100))
        << "nothing shown yet";
}

TEST(OutputArea, WindowsPerOutputShowTheSamePixelsAsOneWindowOverAll)
{
    ShowInstallation installation;
    installation.settings.MultiMonitorMode = TMultiMonitorMode::mmStretchOverAll;
    BuiltShow built(installation, kDesktop.width(), kDesktop.height());
    TDIBRaster& raster = *built.show.Current();
    // A left-to-right ramp, so that any shift between the windows shows.
    for (int32_t x = 0; x < raster.Width(); ++x)
        raster.FillRect({x, 0, x, raster.Height() - 1}, TPixel(0x010203 * (x % 80 + 1)));

    const QImage whole = Paint(built.show, LayOutArea(QRect(QPoint(0, 0), kDesktop), kTwoMonitors, kDesktop,
                                                     &built.show.Settings()));
    const QImage left = Paint(built.show, LayOutArea(kLeft, kTwoMonitors, kDesktop, &built.show.Settings()));
    const QImage right = Paint(built.show, LayOutArea(kRight, kTwoMonitors, kDesktop, &built.show.Settings()));
    EXPECT_EQ(left, whole.copy(kLeft));
    EXPECT_EQ(right, whole.copy(kRight));
    EXPECT_TRUE(AllOpaque(left));
    EXPECT_TRUE(AllOpaque(right));
}

TEST(OutputArea, FramesBecomeOpaqueWithTheirColoursKept)
{
    ShowInstallation installation;
    installation.wave.Width = installation.wave.Height = 50;
    BuiltShow built(installation, 200, 100);
    // The raster's fourth byte means nothing and is 0: drawn as is, the frame is see-through.
    built.show.Current()->FillRect({0, 0, 99, 49}, 0x123456);
    const std::vector<TMonitor> one{{0, 0, 200, 100, true}};
    const QImage shown =
        Paint(built.show, LayOutArea(QRect(0, 0, 200, 100), one, QSize(200, 100), &built.show.Settings()));
    EXPECT_TRUE(AllOpaque(shown));
    EXPECT_EQ(shown.pixel(50, 25), 0xFF123456u);
    EXPECT_EQ(shown.pixel(10, 10), 0xFF000000u);

    // Buffers without alpha are left alone.
    QImage opaque(20, 20, QImage::Format_RGB32);
    opaque.fill(0x00FF00);
    {
        QPainter painter(&opaque);
        MakeOpaque(painter, opaque.rect());
    }
    EXPECT_EQ(opaque.pixel(5, 5), 0xFF00FF00u);
}

} // namespace
