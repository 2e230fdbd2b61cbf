#include "config/formCfgLumenfall.h"
#include "host/CommandLine.h"
#include "host/FPUControl.h"
#include "host/MultimediaTools.h"
#include "host/QuitSignals.h"
#include "host/RenderCommand.h"
#include "host/SingleInstance.h"
#include "platform/X11Windows.h"
#include "host/formLumenfall.h"
#include "host/formLumenfallPreview.h"
#include "host/formPassword.h"
#include "platform/Registry.h"
#include "util/CPUUtility.h"
#include "util/WindowsTool.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr const char* kTitle = "Lumenfall";

int PrintVersion()
{
    std::string company, description, version, internal, copyright, original, product, productVersion;
    ReadVersionInfo("/proc/self/exe", company, description, version, internal, copyright, original, product,
                    productVersion);
    std::printf("%s %s\n%s\n", product.c_str(), version.c_str(), copyright.c_str());
    return 0;
}

void RouteMessagesToBoxes()
{
    SetErrorDisplay([](const std::string& text) {
        QMessageBox::information(nullptr, "Error", QString::fromStdString(text));
    });
    SetRegistryNotifier([](const std::string& text) {
        QMessageBox::warning(nullptr, kTitle, QString::fromStdString(text));
    });
}

// The display mode goes back before the X11 connection does, however the program ends.
struct TScreenModeRelease {
    ~TScreenModeRelease() { ReleaseScreenModes(); }
};

// XScreenSaver names the window of a hack in $XSCREENSAVER_WINDOW; without it the hack
// draws on the root window.
uint64_t HackWindow(const TCommandLine& command)
{
    if (command.HackTarget == THackTarget::htWindowId)
        return command.HackWindow;
    uint64_t id = 0;
    if (const char* named = std::getenv("XSCREENSAVER_WINDOW"); named && ParseWindowId(named, id))
        return id;
    return X11RootWindow();
}

std::unique_ptr<TfrmLumenfall> CreateWindow(const TCommandLine& command)
{
    switch (command.Mode) {
    case TStartMode::smSaver:
        return std::make_unique<TfrmLumenfall>(TSaverPlacement::spFullScreen);
    case TStartMode::smPreview:
        return std::make_unique<TfrmLumenfallPreview>(command.HasParent ? command.ParentWindow : 0);
    case TStartMode::smWindow:
        return std::make_unique<TfrmLumenfall>(TSaverPlacement::spWindow);
    case TStartMode::smHack:
        if (command.HackTarget == THackTarget::htWindow)
            return std::make_unique<TfrmLumenfall>(TSaverPlacement::spWindow);
        return std::make_unique<TfrmLumenfall>(TSaverPlacement::spEmbedded, HackWindow(command));
    default:
        return nullptr;
    }
}

int RunWindow(const TCommandLine& command)
{
    // A second saver, preview or dialog only brings the first one forward; the hack runs
    // once per monitor, and trying the show in a window needs no guard.
    const bool guarded = command.Mode == TStartMode::smSaver || command.Mode == TStartMode::smPreview;
    TSingleInstanceGuard guard;
    if (guarded && !guard.Acquire())
        return 0;
    if (command.Mode == TStartMode::smHack && command.HackTarget != THackTarget::htWindow &&
        !X11WindowSize(HackWindow(command))) {
        std::fprintf(stderr, "lumenfall: there is no X11 window 0x%llx to draw into\n",
                     static_cast<unsigned long long>(HackWindow(command)));
        return 1;
    }
    if (command.Mode == TStartMode::smPreview && command.HasParent && !X11WindowSize(command.ParentWindow)) {
        std::fprintf(stderr, "lumenfall: there is no X11 window %llu for the preview\n",
                     static_cast<unsigned long long>(command.ParentWindow));
        return 1;
    }

    std::unique_ptr<TfrmLumenfall> window = CreateWindow(command);
    guard.OnActivate = [&window] {
        window->raise();
        window->activateWindow();
    };
    OnQuitSignal([&window] {
        window->EndShow();
        QCoreApplication::quit();
    });
    window->OnClosed = [] { QCoreApplication::quit(); };
    if (command.ShowFPS)
        window->acShowFPS.setChecked(true);
    window->Start();
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    SetProgramFloatingPointMode();
    InitCPUFeatures();

    const TCommandLine command = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!command.Error.empty()) {
        std::fprintf(stderr, "lumenfall: %s\n\n%s", command.Error.c_str(), UsageText("lumenfall").c_str());
        return 2;
    }
    switch (command.Mode) {
    case TStartMode::smHelp:
        std::printf("%s", UsageText("lumenfall").c_str());
        return 0;
    case TStartMode::smVersion:
        return PrintVersion();
    case TStartMode::smNothing:
        return 0;
    case TStartMode::smRender: {
        // Rendering needs fonts but no display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        return RunRenderCommand(command.RenderArguments);
    }
    default:
        break;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(kTitle);
    RouteMessagesToBoxes();
    TScreenModeRelease screenModes;
    try {
        switch (command.Mode) {
        case TStartMode::smChangePassword:
            ChangePassword();
            return 0;
        case TStartMode::smConfig:
            return RunConfigurationDialog();
        default:
            return RunWindow(command);
        }
    } catch (const std::exception& e) {
        ReleaseScreenModes();
        QMessageBox::critical(nullptr, kTitle, QString::fromStdString(e.what()));
        return 1;
    }
}
