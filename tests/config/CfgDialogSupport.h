#pragma once
// A scratch installation for the configuration dialog (user settings, a waves folder and a
// user guide), events sent straight to widgets, and a watcher that answers the message
// boxes a test provokes.

#include "config/formCfgLumenfall.h"
#include "host/ShowInstallation.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

// An installation with user settings, two display modes and a user guide.
class CfgInstallation {
public:
    CfgInstallation()
    {
        installation.wave.Name = "Busy";
        installation.wave.ParticleCount = 300;
        installation.settings.LogoEnabled = true;
        installation.settings.TextEnabled = false;
        installation.settings.LogoList = {"Emblem"};
    }

    void Install()
    {
        // The logo page shows the picture, and says so in a message box when it cannot.
        QImage logo(16, 16, QImage::Format_RGB32);
        logo.fill(Qt::white);
        logo.save(QString::fromStdString(LogoFile()), "BMP");
        installation.settings.ActiveLogo.Path = LogoFile();
        installation.Install();
        THive machine = THive::LoadFromFile(MachineHive(), HKEY_LOCAL_MACHINE);
        machine.SetValue(kSettingsKey, "Help", TRegData::String(HelpFile()));
        machine.SaveToFile(MachineHive());
        std::ofstream(HelpFile()) << "<html><body>guide</body></html>\n";
    }

    std::string LogoFile() const { return (installation.Folder() / "logo.bmp").string(); }
    std::string HelpFile() const { return (installation.Folder() / "guide.html").string(); }
    std::string MachineHive() const { return (installation.Folder() / "machine.reg").string(); }
    std::string UserHive() const { return (installation.Folder() / "user.reg").string(); }
    std::string UserHiveBytes() const
    {
        std::ifstream in(UserHive(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // What the dialog sees of the machine.
    TCfgEnvironment Environment()
    {
        return {{"640x480, 32 bit, 60 Hz, colored, non interlaced", "800x600, 32 bit, 60 Hz, colored, non interlaced"},
                [this] { return monitors; }};
    }

    ShowInstallation installation;
    int monitors = 1;
};

// Closes every message box that opens while it lives and keeps their texts.
class MessageBoxWatcher {
public:
    MessageBoxWatcher()
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts.push_back(box->text().toStdString());
                box->done(QMessageBox::Ok);
            }
        });
        timer_.start();
    }
    std::vector<std::string> texts;

private:
    QTimer timer_;
};

inline void SendKey(QWidget& target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {})
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(&target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(&target, &release);
}

inline void SendMouse(QWidget& target, QEvent::Type type, QPoint at, Qt::MouseButtons buttons,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), target.mapToGlobal(QPointF(at)), button, buttons, modifiers);
    QApplication::sendEvent(&target, &event);
}
