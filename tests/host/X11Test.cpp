// Tests that need a real X11 display; CTest runs them on the Xvfb server of its x11_display
// fixture, and they are skipped on the offscreen platform.

#include "host/MultimediaTools.h"
#include "host/ShowInstallation.h"
#include "platform/X11Windows.h"
#include "host/formLumenfallPreview.h"
#include "kinds/ParticleWaves.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QScreen>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

bool WaitExposed(QWidget& widget)
{
    QDeadlineTimer deadline(5000);
    while (!(widget.windowHandle() && widget.windowHandle()->isExposed()) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return widget.windowHandle() && widget.windowHandle()->isExposed();
}

class X11Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != "xcb")
            GTEST_SKIP() << "needs an X11 display";
    }
};

TEST_F(X11Test, XRandRListsAndSwitchesTheOutputModes)
{
    TScreenModeList list(CreateSystemDisplayModeBackend());
    const std::vector<std::string> names = list.GetScreenModes();
    ASSERT_FALSE(names.empty());
    // Xvfb's output has one mode of the screen's size, without timings.
    const QSize screen = QGuiApplication::primaryScreen()->size();
    EXPECT_EQ(names[0], std::to_string(screen.width()) + "x" + std::to_string(screen.height()) +
                            ", 32 bit, colored, non interlaced");
    EXPECT_NO_THROW(list.ChangeScreenMode(0));
    EXPECT_NO_THROW(list.ChangeScreenMode(-1));
    EXPECT_THROW(list.ChangeScreenMode(int32_t(names.size())), EGraphicException);
}

TEST_F(X11Test, WindowSizesOfTheDisplay)
{
    QWidget window;
    window.resize(234, 123);
    window.show();
    ASSERT_TRUE(WaitExposed(window));
    const auto size = X11WindowSize(window.winId());
    ASSERT_TRUE(size.has_value());
    EXPECT_EQ(size->Width, 234);
    EXPECT_EQ(size->Height, 123);
    EXPECT_FALSE(X11WindowSize(0x7FFFFFF).has_value()) << "no such window";
    EXPECT_NE(X11RootWindow(), 0u);
}

TEST_F(X11Test, PreviewFillsItsForeignParent)
{
    ShowInstallation installation;
    installation.wave.ParticleCount = 2000;
    installation.Install();
    QWidget parent;
    parent.resize(400, 300);
    parent.show();
    ASSERT_TRUE(WaitExposed(parent));

    TfrmLumenfallPreview preview(parent.winId());
    preview.Start();
    ASSERT_NE(preview.windowHandle(), nullptr);
    ASSERT_NE(preview.windowHandle()->parent(), nullptr);
    EXPECT_EQ(preview.windowHandle()->parent()->winId(), parent.winId());
    EXPECT_EQ(preview.geometry(), QRect(0, 0, 400, 300));
    EXPECT_EQ(preview.Show().ActiveWave().Width, 400);
    EXPECT_EQ(preview.Show().ActiveWave().Height, 300);
    EXPECT_EQ(preview.Show().WaveSystem()->ParticleCount, 251);
}

} // namespace
