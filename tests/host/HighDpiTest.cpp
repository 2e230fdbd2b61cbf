// The saver at a scale factor of 2: CTest runs these with QT_SCALE_FACTOR=2
// (lumenfall_tests_hidpi); at another scale they are skipped.

#include "host/ShowInstallation.h"
#include "host/formLumenfall.h"
#include "host/formLumenfallPreview.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class HighDpiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::primaryScreen()->devicePixelRatio() != 2)
            GTEST_SKIP() << "needs QT_SCALE_FACTOR=2";
    }
};

void WaitForFrames(const TfrmLumenfall& window)
{
    for (int i = 0; i < 100 && !window.Running(); ++i) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

void MoveMouse(QWidget& target, qreal x, qreal y)
{
    const QPointF at(x, y);
    QMouseEvent event(QEvent::MouseMove, at, target.mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &event);
}

TEST_F(HighDpiTest, TheShowHasOneRasterPixelPerScreenPixel)
{
    ShowInstallation installation;
    installation.Install();
    TfrmLumenfall window(TSaverPlacement::spWindow);
    window.resize(200, 150);
    window.Start();
    WaitForFrames(window);
    ASSERT_TRUE(window.Running());
    EXPECT_EQ(window.Show().ActiveWave().Width, 400) << "100 % of the window's device pixels";
    EXPECT_EQ(window.Show().ActiveWave().Height, 300);

    // What reaches the screen is the raster itself, not a magnified copy.
    const QImage shown = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage raster = window.Show().Current()->Image().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(400, 300));
    EXPECT_EQ(shown, raster.copy(0, 0, 400, 300));
    window.EndShow();

    TfrmLumenfallPreview preview;
    preview.Start();
    EXPECT_EQ(preview.Show().ActiveWave().Width, 320);
    EXPECT_EQ(preview.size(), QSize(160, 120)) << "the preview's raster fills the window";
    preview.close();
}

TEST_F(HighDpiTest, FullScreenSizesAndTheMouseThresholdCountScreenPixels)
{
    ShowInstallation installation;
    installation.Install();
    TfrmLumenfall saver(TSaverPlacement::spFullScreen);
    saver.Start();
    WaitForFrames(saver);
    const QSize logical = QGuiApplication::primaryScreen()->size();
    EXPECT_EQ(saver.Show().ActiveWave().Width, logical.width() * 2);
    EXPECT_EQ(saver.Show().ActiveWave().Height, logical.height() * 2);

    // 5 units are 10 screen pixels: the saver stays; 5.5 units are 11 and end it.
    MoveMouse(saver, 100, 100);
    MoveMouse(saver, 105, 95);
    EXPECT_TRUE(saver.isVisible());
    MoveMouse(saver, 110.5, 95);
    EXPECT_FALSE(saver.isVisible());
}

} // namespace
