#include "host/formLumenfall.h"

#include "host/MouseCursor.h"
#include "host/ShowInstallation.h"
#include "host/formLumenfallPreview.h"
#include "config/formSavingFeatures.h"
#include "kinds/ParticleWaves.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

void Key(QWidget& target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(&target, &event);
}

void MoveMouse(QWidget& target, int x, int y)
{
    const QPointF at(x, y);
    QMouseEvent event(QEvent::MouseMove, at, target.mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &event);
}

void Click(QWidget& target)
{
    const QPointF at(50, 50);
    QMouseEvent event(QEvent::MouseButtonPress, at, target.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&target, &event);
}

void Wait(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// The window's start timer fires 20 ms after Start; the frames begin there.
void WaitForFrames(const TfrmLumenfall& window)
{
    for (int i = 0; i < 100 && !window.Running(); ++i)
        Wait(10);
}

struct RunningSaver {
    explicit RunningSaver(ShowInstallation& installation)
    {
        installation.Install();
        window.Start();
        WaitForFrames(window);
    }
    ~RunningSaver() { window.EndShow(); }
    bool Ended() const { return !window.isVisible(); }

    TfrmLumenfall window{TSaverPlacement::spFullScreen};
};

TEST(formLumenfallTest, HotKeyDecidesBetweenFeaturesAndEnd)
{
    ShowInstallation installation;
    RunningSaver saver(installation);
    ASSERT_TRUE(saver.window.Running());
    EXPECT_FALSE(CursorVisible());

    Key(saver.window, Qt::Key_Control, Qt::ControlModifier);
    Key(saver.window, Qt::Key_X, Qt::ControlModifier);
    EXPECT_FALSE(saver.Ended());
    EXPECT_FALSE(saver.window.SavingFeaturesWindow()->isVisible());

    Key(saver.window, Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(saver.window.SavingFeaturesWindow()->isVisible());
    EXPECT_TRUE(CursorVisible());
    // With the features window up, nothing ends the saver.
    Key(saver.window, Qt::Key_S);
    Click(saver.window);
    saver.window.close();
    EXPECT_FALSE(saver.Ended());

    saver.window.SavingFeaturesWindow()->btnContinue()->click();
    EXPECT_FALSE(CursorVisible());
    Key(saver.window, Qt::Key_S);
    EXPECT_FALSE(saver.Ended()) << "the first close request after Continue is ignored";
    EXPECT_EQ(saver.window.IgnoreCloseCount(), 0);
    Key(saver.window, Qt::Key_S);
    EXPECT_TRUE(saver.Ended());
    EXPECT_FALSE(saver.window.Running());
    EXPECT_TRUE(CursorVisible());
}

TEST(formLumenfallTest, MouseEndsTheSaverPastTheThreshold)
{
    ShowInstallation installation;
    RunningSaver saver(installation);
    MoveMouse(saver.window, 100, 100);
    MoveMouse(saver.window, 110, 90);
    EXPECT_FALSE(saver.Ended());
    MoveMouse(saver.window, 121, 90);
    EXPECT_TRUE(saver.Ended());

    RunningSaver clicked(installation);
    Click(clicked.window);
    EXPECT_TRUE(clicked.Ended());
}

TEST(formLumenfallTest, WindowManagerCloseRequestsGoThroughTryClose)
{
    ShowInstallation installation;
    RunningSaver saver(installation);
    saver.window.acContinueSaving.trigger();
    saver.window.close();
    EXPECT_FALSE(saver.Ended());
    saver.window.close();
    EXPECT_TRUE(saver.Ended());
}

TEST(formLumenfallTest, WaveStartPosIsStoredAndRemembered)
{
    ShowInstallation installation;
    installation.settings.WaveStartMode = TWaveStartMode::wsRememberPosition;
    {
        RunningSaver saver(installation);
        saver.window.Show().WaveSystem()->Pos = 12.5f;
        Key(saver.window, Qt::Key_Space);
        ASSERT_TRUE(saver.Ended());
    }
    TfrmLumenfall next(TSaverPlacement::spFullScreen);
    EXPECT_EQ(next.WaveStartPos(), 12.5f);
    next.Start();
    EXPECT_EQ(next.Show().WaveSystem()->Pos, 12.5f);
    next.EndShow();
}

TEST(formLumenfallTest, OverlaySwitchesAndScreenshot)
{
    ShowInstallation installation;
    RunningSaver saver(installation);
    TfrmSavingFeatures& features = *saver.window.SavingFeaturesWindow();
    features.cbShowFPS()->click();
    EXPECT_TRUE(saver.window.Show().ShowFPS);
    features.cbShowFPS()->click();
    EXPECT_FALSE(saver.window.Show().ShowFPS);
    EXPECT_FALSE(features.cbShowFPS()->isChecked());
    features.cbShowParticleSystemName()->click();
    EXPECT_TRUE(saver.window.Show().ShowName);

    const std::string fileName = (installation.Folder() / "shot.bmp").string();
    saver.window.AskScreenshotFileName = [] { return QString(); };
    features.btnSaveScreenshot()->click();
    EXPECT_FALSE(std::filesystem::exists(fileName)) << "cancelled";
    saver.window.AskScreenshotFileName = [&] { return QString::fromStdString(fileName); };
    features.btnSaveScreenshot()->click();
    QImage shot;
    ASSERT_TRUE(shot.load(QString::fromStdString(fileName), "BMP"));
    EXPECT_EQ(shot.size(), saver.window.Show().Current()->Image().size());
}

TEST(formLumenfallTest, AScreenModeThatCannotBeSetBecomesAMessageLine)
{
    ShowInstallation installation;
    installation.settings.ScreenMode = 3; // the offscreen platform has no modes
    RunningSaver saver(installation);
    ASSERT_FALSE(saver.window.Show().Messages().empty());
    EXPECT_EQ(saver.window.Show().Messages()[0], kScreenModeMessage);
    EXPECT_TRUE(saver.window.Running());
}

TEST(formLumenfallTest, NotInstalledShowsTheLabelAndStillEnds)
{
    TTemporaryHives hives("notinstalled");
    TfrmLumenfall window(TSaverPlacement::spFullScreen);
    window.Start();
    EXPECT_FALSE(window.Installed());
    const QLabel* label = window.findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), kNotInstalledMessage);
    EXPECT_TRUE(label->isVisible());
    Click(window);
    EXPECT_FALSE(window.isVisible());
}

TEST(formLumenfallTest, PreviewRunsAnEighthOfTheWaveAndIgnoresInput)
{
    ShowInstallation installation;
    installation.wave.ParticleCount = 2000;
    installation.Install();
    TfrmLumenfallPreview preview;
    preview.Start();
    EXPECT_EQ(preview.Show().WaveSystem()->ParticleCount, 251);
    EXPECT_EQ(preview.size(), QSize(320, 240)) << "100 % of the preview's base size";
    EXPECT_EQ(preview.SavingFeaturesWindow(), nullptr);
    Wait(100);
    Key(preview, Qt::Key_S, Qt::ControlModifier);
    Key(preview, Qt::Key_Escape);
    MoveMouse(preview, 10, 10);
    MoveMouse(preview, 200, 200);
    Click(preview);
    EXPECT_TRUE(preview.isVisible());
    preview.close();
    EXPECT_EQ(ReadWaveStartPos(), 0.0f) << "the preview's wave position is not stored";
}


// The saver where the compositor places windows: a window per output. CTest runs these on
// two offscreen screens side by side (lumenfall_tests_outputs).
class TwoOutputsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::screens().size() < 2)
            GTEST_SKIP() << "needs two screens (lumenfall_tests_outputs runs it on two offscreen screens)";
        installation.settings.MultiMonitorMode = TMultiMonitorMode::mmAnimateEach;
        installation.settings.WaveStartMode = TWaveStartMode::wsRememberPosition;
        installation.Install();
        saver.Start();
        WaitForFrames(saver);
        ASSERT_TRUE(saver.Running());
        ASSERT_EQ(saver.OutputWindows().size(), 1u);
        output = saver.OutputWindows()[0];
    }
    void TearDown() override { saver.EndShow(); }

    bool Ended() const { return !saver.isVisible(); }

    ShowInstallation installation;
    TfrmLumenfall saver{TSaverPlacement::spFullScreen, 0, WindowSystemOf(u"wayland")};
    QWidget* output = nullptr;
};

// What a compositor shows of a window: its buffer has alpha.
QImage Composited(QWidget& window)
{
    QImage buffer(window.size(), QImage::Format_ARGB32_Premultiplied);
    buffer.fill(Qt::transparent);
    window.render(&buffer);
    return buffer;
}

struct TPixelCensus {
    int64_t Lit = 0;
    int64_t SeeThrough = 0;
};

TPixelCensus Census(const QImage& image)
{
    TPixelCensus census;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            census.Lit += (pixel & 0xFFFFFF) != 0;
            census.SeeThrough += qAlpha(pixel) != 255;
        }
    return census;
}

TEST_F(TwoOutputsTest, EachOutputHasAFullScreenWindowWithItsPartOfTheShow)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    EXPECT_EQ(saver.screen(), QGuiApplication::primaryScreen());
    EXPECT_EQ(output->screen(), screens[1]);
    EXPECT_TRUE(saver.isFullScreen());
    EXPECT_TRUE(output->isFullScreen());
    EXPECT_EQ(saver.geometry(), QGuiApplication::primaryScreen()->geometry());
    EXPECT_EQ(output->geometry(), screens[1]->geometry());

    for (QWidget* window : {static_cast<QWidget*>(&saver), output}) {
        const TPixelCensus census = Census(Composited(*window));
        EXPECT_GT(census.Lit, 50) << "particles on " << window->screen()->name().toStdString();
        EXPECT_EQ(census.SeeThrough, 0);
    }

    // Only the primary monitor animates: the other output's window is black and opaque.
    saver.EndShow();
    installation.settings.MultiMonitorMode = TMultiMonitorMode::mmAnimatePrimary;
    installation.Install();
    TfrmLumenfall primaryOnly(TSaverPlacement::spFullScreen, 0, WindowSystemOf(u"wayland"));
    primaryOnly.Start();
    WaitForFrames(primaryOnly);
    const TPixelCensus black = Census(Composited(*primaryOnly.OutputWindows()[0]));
    EXPECT_EQ(black.Lit, 0);
    EXPECT_EQ(black.SeeThrough, 0);
    primaryOnly.EndShow();
    EXPECT_FALSE(primaryOnly.OutputWindows()[0]->isVisible()) << "every window goes with the show";
}

TEST_F(TwoOutputsTest, CrossingIntoAnotherOutputIsNoMove)
{
    MoveMouse(saver, 300, 120);
    // 290 pixels left of the last position, but in another window with its own coordinates.
    MoveMouse(*output, 10, 120);
    EXPECT_FALSE(Ended());
    MoveMouse(*output, 20, 130);
    EXPECT_FALSE(Ended());
    MoveMouse(saver, 20, 130);
    EXPECT_FALSE(Ended()) << "back in the first window, the same numbers are a first report";
    MoveMouse(saver, 31, 130);
    EXPECT_TRUE(Ended());
}

TEST_F(TwoOutputsTest, InputOnAnyOutputEndsTheShowOrCallsTheFeatures)
{
    Key(*output, Qt::Key_S, Qt::ControlModifier);
    ASSERT_TRUE(saver.SavingFeaturesWindow()->isVisible());
    saver.SavingFeaturesWindow()->btnContinue()->click();

    // The compositor's close request of one output goes through TryClose like the rest.
    output->close();
    EXPECT_FALSE(Ended()) << "the first close request after Continue is ignored";
    saver.Show().WaveSystem()->Pos = 7.25f;
    Key(*output, Qt::Key_Space);
    EXPECT_TRUE(Ended());
    EXPECT_FALSE(output->isVisible());
    EXPECT_EQ(ReadWaveStartPos(), 7.25f);
}

TEST_F(TwoOutputsTest, OneWindowCoversTheDesktopOnX11)
{
    TfrmLumenfall x11(TSaverPlacement::spFullScreen, 0, WindowSystemOf(u"xcb"));
    EXPECT_TRUE(x11.OutputWindows().empty());
    EXPECT_TRUE(x11.windowFlags().testFlag(Qt::X11BypassWindowManagerHint));
    EXPECT_FALSE(saver.windowFlags().testFlag(Qt::X11BypassWindowManagerHint));
    EXPECT_EQ(x11.geometry(), QRect(0, 0, 520, 240));
}

} // namespace
