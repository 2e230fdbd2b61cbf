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

TEST(formLumenfallTest, AnUnwritableUserFileAtCloseIsReportedOnceAndTheSaverEnds)
{
    ShowInstallation installation;
    std::vector<std::string> told;
    const TRegistryNotifier previous = SetRegistryNotifier([&](const std::string& text) { told.push_back(text); });
    {
        RunningSaver saver(installation);
        // What a read-only or full home folder does to the save: even root cannot create the
        // lock where a folder of that name stands.
        const std::filesystem::path lock = installation.Folder() / "user.reg.lock";
        std::filesystem::remove(lock);
        std::filesystem::create_directory(lock);
        EXPECT_NO_THROW(Click(saver.window));
        EXPECT_TRUE(saver.Ended());
        EXPECT_FALSE(saver.window.Running());
        EXPECT_TRUE(CursorVisible());
    }
    SetRegistryNotifier(previous);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("could not be saved"), std::string::npos) << told[0];
}

} // namespace
