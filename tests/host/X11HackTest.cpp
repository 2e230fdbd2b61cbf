// The saver among other X11 clients: the hack inside a foreign window that changes its size,
// the hack's end on SIGTERM, and the features window above the full-screen saver with and
// without a window manager.

#include "host/ProgramRun.h"
#include "host/ShowInstallation.h"
#include "host/X11Fixture.h"
#include "host/formLumenfall.h"
#include "host/formLumenfallPreview.h"
#include "config/formSavingFeatures.h"

#include <QApplication>
#include <QCheckBox>
#include <QStandardPaths>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <optional>
#include <vector>

namespace {

Display* XDisplay() { return qApp->nativeInterface<QNativeInterface::QX11Application>()->display(); }

std::vector<Window> Children(Window window)
{
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    std::vector<Window> list;
    if (XQueryTree(XDisplay(), window, &root, &parent, &children, &count)) {
        list.assign(children, children + count);
        XFree(children);
    }
    return list;
}

// The child of the root window that holds the window (itself, or a window manager's frame).
Window TopLevelOf(Window window)
{
    for (;;) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(XDisplay(), window, &root, &parent, &children, &count))
            return 0;
        if (children)
            XFree(children);
        if (parent == root)
            return window;
        window = parent;
    }
}

// The top-level window that shows at a point of the screen: the topmost one there.
Window TopLevelAt(QPoint at)
{
    const Window root = DefaultRootWindow(XDisplay());
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(XDisplay(), root, root, at.x(), at.y(), &x, &y, &child);
    return child;
}

Window FocusedTopLevel()
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(XDisplay(), &focus, &revert);
    return focus > PointerRoot ? TopLevelOf(focus) : 0;
}

std::optional<QSize> GeometryOf(Window window)
{
    Window root = 0;
    int x = 0, y = 0;
    unsigned int width = 0, height = 0, border = 0, depth = 0;
    if (!XGetGeometry(XDisplay(), window, &root, &x, &y, &width, &height, &border, &depth))
        return std::nullopt;
    return QSize(int(width), int(height));
}

int IgnoreXError(Display*, XErrorEvent*) { return 0; }

// The supporting window of a window manager outlives nothing: the root's property may.
bool WindowExists(Window window)
{
    XSync(XDisplay(), False);
    const auto previous = XSetErrorHandler(IgnoreXError);
    XWindowAttributes attributes;
    const bool exists = XGetWindowAttributes(XDisplay(), window, &attributes) != 0;
    XSync(XDisplay(), False);
    XSetErrorHandler(previous);
    return exists;
}

bool WindowManagerRunning()
{
    const Atom check = XInternAtom(XDisplay(), "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    Window supporting = 0;
    if (XGetWindowProperty(XDisplay(), DefaultRootWindow(XDisplay()), check, 0, 1, False, XA_WINDOW, &type, &format,
                           &items, &after, &data) == Success &&
        items == 1 && format == 32)
        supporting = Window(*reinterpret_cast<unsigned long*>(data));
    if (data)
        XFree(data);
    return supporting != 0 && WindowExists(supporting);
}

// A digest of what the window shows; 0 while it is all black.
size_t ShownFrame(Window window)
{
    const std::optional<QSize> size = GeometryOf(window);
    if (!size)
        return 0;
    XImage* image = XGetImage(XDisplay(), window, 0, 0, unsigned(size->width()), unsigned(size->height()), AllPlanes,
                              ZPixmap);
    if (!image)
        return 0;
    size_t digest = 0;
    bool lit = false;
    for (int y = 0; y < size->height(); ++y)
        for (int x = 0; x < size->width(); ++x) {
            const unsigned long pixel = XGetPixel(image, x, y) & 0xFFFFFF;
            lit = lit || pixel != 0;
            digest = digest * 31 + pixel;
        }
    XDestroyImage(image);
    return lit ? digest : 0;
}

void Resize(QWidget& parent, int width, int height)
{
    parent.resize(width, height);
    XSync(XDisplay(), False);
}

TEST_F(X11Test, EmbeddedShowAndPreviewFollowTheSizeOfTheirParent)
{
    ShowInstallation installation;
    installation.Install();
    QWidget hackParent;
    auto previewParent = std::make_unique<QWidget>();
    hackParent.resize(320, 200);
    previewParent->resize(200, 150);
    hackParent.show();
    previewParent->show();
    ASSERT_TRUE(WaitExposed(hackParent));
    ASSERT_TRUE(WaitExposed(*previewParent));

    TfrmLumenfall hack(TSaverPlacement::spEmbedded, hackParent.winId());
    TfrmLumenfallPreview preview(previewParent->winId());
    hack.Start();
    preview.Start();
    ASSERT_TRUE(WaitUntil([&] { return hack.Running(); }));
    EXPECT_EQ(hack.Show().ActiveWave().Width, 320);

    Resize(hackParent, 500, 260);
    Resize(*previewParent, 260, 180);
    EXPECT_TRUE(WaitUntil([&] { return hack.Show().ActiveWave().Width == 500; }));
    EXPECT_EQ(hack.Show().ActiveWave().Height, 260);
    EXPECT_EQ(hack.Show().Current()->Image().width(), 500);
    EXPECT_EQ(hack.size(), QSize(500, 260));
    EXPECT_TRUE(hack.Running()) << "the show goes on at the new size";
    EXPECT_TRUE(WaitUntil([&] { return preview.Show().ActiveWave().Width == 260; }));
    EXPECT_EQ(preview.Show().ActiveWave().Height, 180);
    EXPECT_EQ(preview.size(), QSize(260, 180));

    // A smaller parent, and one that goes away.
    Resize(hackParent, 100, 80);
    EXPECT_TRUE(WaitUntil([&] { return hack.Show().ActiveWave().Width == 100; }));
    hack.EndShow();
    previewParent.reset();
    EXPECT_TRUE(WaitUntil([&] { return !preview.isVisible(); })) << "the preview ends with its parent";
}

TEST_F(X11Test, TheHackFollowsItsForeignWindowAndDiesOfSigtermAfterStoringItsPosition)
{
    ShowInstallation installation;
    installation.settings.WaveStartMode = TWaveStartMode::wsRememberPosition;
    installation.Install();
    QWidget foreign;
    foreign.resize(300, 200);
    foreign.show();
    ASSERT_TRUE(WaitExposed(foreign));

    QProcess hack;
    hack.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    // As the settings program of XScreenSaver runs the preview: the stored command, the window appended.
    hack.start(ProgramPath(), {"--root", "--window-id", QString("0x%1").arg(foreign.winId(), 0, 16).toUpper()});
    ASSERT_TRUE(hack.waitForStarted());
    ASSERT_TRUE(WaitUntil([&] { return !Children(foreign.winId()).empty(); })) << "the hack never drew";
    const Window drawn = Children(foreign.winId()).front();
    EXPECT_EQ(GeometryOf(drawn), QSize(300, 200));
    // Two different frames on the screen: the wave has moved on from its start.
    size_t first = 0;
    ASSERT_TRUE(WaitUntil([&] { return (first = ShownFrame(drawn)) != 0; })) << "no frame on the screen";
    ASSERT_TRUE(WaitUntil([&] { return ShownFrame(drawn) != first; })) << "the show does not move";
    Resize(foreign, 420, 240);
    EXPECT_TRUE(WaitUntil([&] { return GeometryOf(drawn) == QSize(420, 240); }));
    // The show rebuilt at the new size goes on before the signal comes.
    const size_t resized = ShownFrame(drawn);
    EXPECT_TRUE(WaitUntil([&] { return ShownFrame(drawn) != resized; })) << "the show stopped at the new size";

    hack.terminate(); // SIGTERM
    const TProgramResult result = WaitForProgram(hack);
    ASSERT_TRUE(result.Finished);
    EXPECT_TRUE(result.Crashed) << "it must die of the signal; exit status " << result.ExitCode;
    EXPECT_EQ(result.ExitCode, SIGTERM);
    EXPECT_FALSE(result.Err.contains("lumenfall:")) << result.Err.toStdString();
    EXPECT_GT(ReadWaveStartPos(), 0.0f) << "the wave's position was stored first; the hack said: "
                                        << result.Err.toStdString();
}

// On an X server of its own (a window manager there would manage the other tests' windows).
class WindowManagerTest : public X11Test {
protected:
    // Opens the features window over a running full-screen saver and checks that it shows
    // above the saver, holds the keyboard focus and takes real clicks and key presses.
    void CheckFeaturesWindowOnTop()
    {
        ShowInstallation installation;
        installation.Install();
        TfrmLumenfall saver(TSaverPlacement::spFullScreen);
        saver.Start();
        ASSERT_TRUE(WaitUntil([&] { return saver.Running() && saver.windowHandle()->isExposed(); }));
        saver.ShowSavingFeatures();
        TfrmSavingFeatures& features = *saver.SavingFeaturesWindow();
        ASSERT_TRUE(WaitExposed(features));
        const Window featuresTop = TopLevelOf(features.winId());
        const QPoint centre = features.frameGeometry().center();
        EXPECT_TRUE(WaitUntil([&] { return TopLevelAt(centre) == featuresTop; })) << "the features window is hidden";
        EXPECT_TRUE(WaitUntil([&] { return FocusedTopLevel() == featuresTop; })) << "no keyboard focus";

        const QString xdotool = QStandardPaths::findExecutable("xdotool");
        if (!xdotool.isEmpty()) {
            QCheckBox& fps = *features.cbShowFPS();
            const QPoint box = fps.mapToGlobal(QPoint(8, fps.height() / 2));
            QProcess::execute(xdotool, {"mousemove", QString::number(box.x()), QString::number(box.y()), "click", "1"});
            EXPECT_TRUE(WaitUntil([&] { return saver.Show().ShowFPS; })) << "the click did not arrive";
            QProcess::execute(xdotool, {"key", "space"});
            EXPECT_TRUE(WaitUntil([&] { return !saver.Show().ShowFPS; })) << "the key press did not arrive";
        } else {
            ADD_FAILURE() << "xdotool is missing (scripts/setup installs it)";
        }
        EXPECT_TRUE(saver.isVisible()) << "input in the features window does not end the saver";
        saver.ContinueSaving();
        saver.EndShow();
    }
};

TEST_F(WindowManagerTest, AboveTheSaverWithoutAWindowManager)
{
    if (WindowManagerRunning())
        GTEST_SKIP() << "a window manager runs on this display";
    CheckFeaturesWindowOnTop();
}

TEST_F(WindowManagerTest, AboveTheSaverWithOpenbox)
{
    const QString openbox = QStandardPaths::findExecutable("openbox");
    if (openbox.isEmpty())
        GTEST_SKIP() << "openbox is not installed (scripts/setup installs it)";
    if (WindowManagerRunning())
        GTEST_SKIP() << "another window manager runs on this display";
    QProcess manager;
    manager.start(openbox, {"--sm-disable"});
    ASSERT_TRUE(manager.waitForStarted());
    ASSERT_TRUE(WaitUntil([] { return WindowManagerRunning(); })) << "openbox did not start";
    CheckFeaturesWindowOnTop();
    manager.terminate();
    manager.waitForFinished();
    WaitUntil([] { return !WindowManagerRunning(); }, 5000);
}

} // namespace
