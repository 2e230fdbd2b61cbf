#include "platform/WindowSystem.h"

#include <QGuiApplication>

TWindowSystem WindowSystemOf(QStringView platformName)
{
    TWindowSystem system;
    if (platformName == u"xcb") {
        system.X11 = true;
        system.KeyboardGrab = true;
        system.BypassWindowManager = true;
    } else if (platformName.startsWith(u"wayland")) {
        // "wayland" and "wayland-egl" are the same window system.
        system.WindowPerOutput = true;
    }
    return system;
}

TWindowSystem CurrentWindowSystem()
{
    return qGuiApp ? WindowSystemOf(QGuiApplication::platformName()) : TWindowSystem{};
}
