// The program itself under a headless sway with two outputs: full screen on both, the show
// on both, ending on a key or a pointer move, --window, and no X11 connection. CTest runs
// these as lumenfall_tests_wayland; they are skipped where sway is missing.

#include "host/SaverShow.h"
#include "host/ShowInstallation.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include <unistd.h>

namespace {

constexpr int kOutputWidth = 320;
constexpr int kOutputHeight = 240;
const std::set<QString> kOutputs{"HEADLESS-1", "HEADLESS-2"};
// The compositor's user when the tests run as root, which sway refuses.
constexpr uid_t kCompositorUser = 65534;
constexpr int kStartMs = 15000;
// Bright pixels that show the wave in a screenshot.
constexpr int64_t kLit = 100;

// A file of the build folder, unless LUMENFALL_BUILD_DIR names another.
QString BuildFile(const char* relative)
{
    const QString overridden = qEnvironmentVariable("LUMENFALL_BUILD_DIR");
    return QDir(overridden.isEmpty() ? QString(LUMENFALL_TEST_BUILD_DIR) : overridden).filePath(relative);
}

// Polls, running the event loop in between: processes end and connections arrive through it.
bool WaitFor(const std::function<bool()>& condition, int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(50, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// A headless sway with two outputs side by side, and the environment of its clients.
class THeadlessSway {
public:
    THeadlessSway()
    {
        if (!dir_.isValid())
            return;
        const QString runtime = dir_.filePath("compositor");
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir().mkpath(dir_.filePath("client"));
        QFile::setPermissions(dir_.filePath("client"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile config(dir_.filePath("sway.config"));
        if (!config.open(QIODevice::WriteOnly))
            return;
        config.write(QString("xwayland disable\n"
                             "default_border none\n"
                             "output HEADLESS-1 resolution %1x%2 position 0 0\n"
                             "output HEADLESS-2 resolution %1x%2 position %1 0\n")
                         .arg(kOutputWidth)
                         .arg(kOutputHeight)
                         .toUtf8());
        config.close();

        QStringList command{"sway", "-c", config.fileName()};
        if (::geteuid() == 0) {
            if (::chown(runtime.toLocal8Bit().constData(), kCompositorUser, kCompositorUser) != 0 ||
                ::chmod(dir_.path().toLocal8Bit().constData(), 0755) != 0)
                return;
            QFile::setPermissions(config.fileName(), QFile::ReadOwner | QFile::ReadOther | QFile::ReadGroup);
            command = QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"} + command;
        }
        QProcessEnvironment environment;
        environment.insert("PATH", qEnvironmentVariable("PATH"));
        environment.insert("HOME", dir_.path());
        environment.insert("XDG_RUNTIME_DIR", runtime);
        environment.insert("WLR_BACKENDS", "headless");
        environment.insert("WLR_RENDERER", "pixman");
        environment.insert("WLR_HEADLESS_OUTPUTS", "2");
        environment.insert("WLR_LIBINPUT_NO_DEVICES", "1");
        sway_.setProcessEnvironment(environment);
        sway_.setProcessChannelMode(QProcess::MergedChannels);
        sway_.setStandardOutputFile(dir_.filePath("sway.log"));
        sway_.start("nice", QStringList{"-n", "10"} + command);
        socket_ = QDir(runtime).filePath("wayland-1");
        const bool up = WaitFor(
            [&] {
                const QStringList ipc = QDir(runtime).entryList({"sway-ipc.*.sock"}, QDir::System);
                if (!ipc.isEmpty())
                    ipcSocket_ = QDir(runtime).filePath(ipc.first());
                return QFile::exists(socket_) && !ipcSocket_.isEmpty() && Outputs().size() == 2;
            },
            kStartMs);
        if (!up) {
            QFile log(dir_.filePath("sway.log"));
            failure_ = "sway did not start: " + (log.open(QIODevice::ReadOnly) ? log.readAll().toStdString() : "");
        }
    }
    ~THeadlessSway()
    {
        sway_.terminate();
        if (!sway_.waitForFinished(5000))
            sway_.kill();
    }

    const std::string& Failure() const { return failure_; }
    const QTemporaryDir& Dir() const { return dir_; }

    // The clients' environment: Wayland, and DISPLAY only as the caller sets it.
    QProcessEnvironment ClientEnvironment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("XAUTHORITY");
        environment.insert("WAYLAND_DISPLAY", socket_);
        environment.insert("XDG_RUNTIME_DIR", dir_.filePath("client"));
        environment.insert("QT_QPA_PLATFORM", "wayland");
        environment.insert("SWAYSOCK", ipcSocket_);
        return environment;
    }

    QByteArray Run(const QString& program, const QStringList& arguments, int* exitCode = nullptr) const
    {
        QProcess process;
        process.setProcessEnvironment(ClientEnvironment());
        process.start(program, arguments);
        process.waitForFinished(20000);
        if (exitCode)
            *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        return process.readAllStandardOutput();
    }

    QJsonDocument Query(const char* type) const { return QJsonDocument::fromJson(Run("swaymsg", {"-r", "-t", type})); }

    QJsonArray Outputs() const { return Query("get_outputs").array(); }

    struct TWindow {
        QString Output;
        QString Title;
        bool FullScreen = false;
        bool Visible = false;
    };

    // The windows of the program, tiled, full-screen and floating.
    std::vector<TWindow> ProgramWindows() const
    {
        std::vector<TWindow> windows;
        const std::function<void(const QJsonObject&, const QString&)> walk = [&](const QJsonObject& node,
                                                                                 QString output) {
            if (node["type"] == "output")
                output = node["name"].toString();
            if (node["type"].toString().endsWith("con") && node["app_id"] == "lumenfall")
                windows.push_back({output, node["name"].toString(), node["fullscreen_mode"].toInt() == 1,
                                   node["visible"].toBool()});
            for (const char* children : {"nodes", "floating_nodes"})
                for (const QJsonValue child : node[children].toArray())
                    walk(child.toObject(), output);
        };
        walk(Query("get_tree").object(), {});
        return windows;
    }

    // The number of bright pixels of an output's screenshot; -1 without a screenshot or when
    // its corners are not black, as they are where a see-through frame shows the desktop.
    int64_t LitPixels(const QString& output) const
    {
        const QString file = dir_.filePath(output + ".png");
        int exitCode = 0;
        Run("grim", {"-o", output, file}, &exitCode);
        QImage shot;
        if (exitCode != 0 || !shot.load(file))
            return -1;
        const int right = shot.width() - 1, bottom = shot.height() - 1;
        for (const QPoint corner : {QPoint(0, 0), QPoint(right, 0), QPoint(0, bottom), QPoint(right, bottom)})
            if ((shot.pixel(corner) & 0xFFFFFF) != 0)
                return -1;
        int64_t lit = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QRgb pixel = shot.pixel(x, y);
                lit += std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)}) > 64;
            }
        return lit;
    }

private:
    QTemporaryDir dir_;
    QProcess sway_;
    QString socket_;
    QString ipcSocket_;
    std::string failure_;
};

class WaylandSessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (QStandardPaths::findExecutable("sway").isEmpty())
            return;
        sway = new THeadlessSway;
    }
    static void TearDownTestSuite()
    {
        delete sway;
        sway = nullptr;
    }

    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("LUMENFALL_WAYLAND_TESTS"))
            GTEST_SKIP() << "runs in lumenfall_tests_wayland";
        if (!sway)
            GTEST_SKIP() << "sway is not installed (scripts/setup installs it): the Wayland session is not tested";
        ASSERT_EQ(sway->Failure(), "");
        for (const char* tool : {"grim", "wtype", "swaymsg"})
            ASSERT_FALSE(QStandardPaths::findExecutable(tool).isEmpty()) << tool << " is missing";
        installation.settings.MultiMonitorMode = TMultiMonitorMode::mmAnimateEach;
        installation.wave.ParticleCount = 4000; // a solid line, easy to see in a screenshot
        installation.Install();
        // An X11 display of our own, on the first free number: the program must never connect
        // to it.
        QDir().mkpath("/tmp/.X11-unix");
        for (x11Display = kFirstX11Display; x11Display < kFirstX11Display + 100; ++x11Display)
            if (x11.listen(QString("/tmp/.X11-unix/X%1").arg(x11Display)))
                break;
        ASSERT_TRUE(x11.isListening()) << "no free X11 display number for the check";
        // A file, not a pipe: a full pipe would stop the program.
        saver.setProcessChannelMode(QProcess::MergedChannels);
        saver.setStandardOutputFile(OutputFile());
    }

    QString OutputFile() const { return QString::fromStdString((installation.Folder() / "output.txt").string()); }
    QByteArray Output() const
    {
        QFile file(OutputFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void TearDown() override
    {
        if (saver.state() != QProcess::NotRunning) {
            saver.kill();
            saver.waitForFinished(5000);
        }
        if (sway) {
            EXPECT_FALSE(x11.hasPendingConnections() || x11.waitForNewConnection(0)) << "an X11 connection was opened";
        }
    }

    void StartProgram(const QStringList& arguments, bool waylandDebug = false)
    {
        QProcessEnvironment environment = sway->ClientEnvironment();
        environment.insert("DISPLAY", QString(":%1").arg(x11Display));
        if (waylandDebug)
            environment.insert("WAYLAND_DEBUG", "1");
        saver.setProcessEnvironment(environment);
        saver.start("nice", QStringList{"-n", "10", BuildFile("src/lumenfall")} + arguments);
        ASSERT_TRUE(saver.waitForStarted());
    }

    // Waits until the program has a full-screen window on every output.
    bool FullScreenOnBothOutputs()
    {
        return WaitFor(
            [&] {
                std::set<QString> outputs;
                for (const THeadlessSway::TWindow& window : sway->ProgramWindows())
                    if (window.FullScreen && window.Visible)
                        outputs.insert(window.Output);
                return outputs == kOutputs;
            },
            kStartMs);
    }

    bool Ends(int milliseconds)
    {
        return WaitFor([&] { return saver.state() == QProcess::NotRunning; }, milliseconds) &&
               saver.exitStatus() == QProcess::NormalExit && saver.exitCode() == 0;
    }

    bool WaveStartPosStored() const
    {
        QFile hive(QString::fromStdString((installation.Folder() / "user.reg").string()));
        return hive.open(QIODevice::ReadOnly) && hive.readAll().contains("\"WaveStartPos\"");
    }

    void MovePointer(const QStringList& positions)
    {
        int exitCode = 0;
        sway->Run(BuildFile("tools/lumenfall_virtual_pointer"),
                  QStringList{QString::number(2 * kOutputWidth), QString::number(kOutputHeight)} + positions,
                  &exitCode);
        ASSERT_EQ(exitCode, 0) << "the virtual pointer failed";
    }

    static constexpr int kFirstX11Display = 87;
    static inline THeadlessSway* sway = nullptr;
    int x11Display = 0;
    ShowInstallation installation;
    QLocalServer x11;
    QProcess saver;
};

TEST_F(WaylandSessionTest, TheSaverCoversBothOutputsAndEndsOnAKey)
{
    StartProgram({"/s"});
    ASSERT_TRUE(FullScreenOnBothOutputs()) << Output().toStdString();
    // Frames need a moment to build up past the start.
    ASSERT_TRUE(WaitFor([&] { return sway->LitPixels("HEADLESS-1") > kLit && sway->LitPixels("HEADLESS-2") > kLit; },
                        kStartMs))
        << "particles on both outputs, on black";
    EXPECT_FALSE(WaveStartPosStored());

    // A headless seat has no keyboard: wtype's appears with its first key, so it waits first.
    // A busy machine may still take longer to hand the new keyboard to the program, and the key
    // is lost: a second one follows a second later.
    int exitCode = 0;
    sway->Run("wtype", {"-s", "1000", "-k", "space", "-s", "1000", "-k", "space"}, &exitCode);
    ASSERT_EQ(exitCode, 0);
    EXPECT_TRUE(Ends(2000)) << Output().toStdString();
    EXPECT_TRUE(WaveStartPosStored());
}

TEST_F(WaylandSessionTest, APointerMoveEndsTheSaverButCrossingOutputsDoesNot)
{
    if (!QFile::exists(BuildFile("tools/lumenfall_virtual_pointer")))
        GTEST_SKIP() << "lumenfall_virtual_pointer was not built (needs libwayland-dev)";
    StartProgram({"/s"}, true);
    ASSERT_TRUE(FullScreenOnBothOutputs()) << Output().toStdString();

    // Left output at x 310, then 20 pixels on into the right one (its x 10): another window's
    // coordinates, so no move; then 5 pixels there, below the threshold.
    MovePointer({"310,100", "330,100", "335,105"});
    ASSERT_FALSE(Ends(300)) << "crossing outputs ended the saver";
    MovePointer({"365,100"});
    EXPECT_TRUE(Ends(2000));
    EXPECT_TRUE(WaveStartPosStored());

    // The blank cursor reached the compositor after the pointer entered.
    const QString protocol = QString::fromUtf8(Output());
    const QRegularExpressionMatch enter = QRegularExpression(R"(wl_pointer@\d+\.enter\()").match(protocol);
    ASSERT_TRUE(enter.hasMatch()) << "the pointer never entered";
    EXPECT_TRUE(
        QRegularExpression(R"(-> wl_pointer@\d+\.set_cursor\(\d+, nil)").match(protocol, enter.capturedEnd()).hasMatch());
}

TEST_F(WaylandSessionTest, TheShowRunsInAWindow)
{
    StartProgram({"--window"});
    ASSERT_TRUE(WaitFor([&] { return !sway->ProgramWindows().empty(); }, kStartMs)) << Output().toStdString();
    const THeadlessSway::TWindow window = sway->ProgramWindows()[0];
    EXPECT_FALSE(window.FullScreen);
    // Tiled, not full screen: a see-through frame would show the desktop behind it.
    EXPECT_TRUE(WaitFor([&] { return sway->LitPixels(window.Output) > kLit; }, kStartMs)) << "an opaque show";
    // Keys other than the hot key leave a window alone; the window manager closes it.
    sway->Run("swaymsg", {"[app_id=lumenfall]", "kill"});
    EXPECT_TRUE(Ends(5000)) << Output().toStdString();
}

TEST_F(WaylandSessionTest, TheFeaturesWindowShowsAboveTheFullScreenShow)
{
    StartProgram({"/s"});
    ASSERT_TRUE(FullScreenOnBothOutputs()) << Output().toStdString();
    int exitCode = 0;
    sway->Run("wtype", {"-s", "1000", "-M", "ctrl", "-k", "s", "-m", "ctrl"}, &exitCode);
    ASSERT_EQ(exitCode, 0);
    // Hidden behind the show, the window could not be closed and the show could not end.
    EXPECT_TRUE(WaitFor(
        [&] {
            for (const THeadlessSway::TWindow& window : sway->ProgramWindows())
                if (window.Title == "Saving features" && window.Visible)
                    return true;
            return false;
        },
        kStartMs));
}

} // namespace
