#include "platform/WindowSystem.h"

#include <QString>
#include <gtest/gtest.h>

namespace {

TEST(WindowSystem, OnlyX11AllowsX11CallsGrabsAndBypass)
{
    const TWindowSystem x11 = WindowSystemOf(u"xcb");
    EXPECT_TRUE(x11.X11 && x11.KeyboardGrab && x11.BypassWindowManager);
    EXPECT_FALSE(x11.WindowPerOutput);

    for (const QStringView name : {u"wayland", u"wayland-egl"}) {
        const TWindowSystem wayland = WindowSystemOf(name);
        EXPECT_TRUE(wayland.WindowPerOutput) << name.toString().toStdString();
        EXPECT_FALSE(wayland.X11 || wayland.KeyboardGrab || wayland.BypassWindowManager);
    }

    // The tests' own platform: one window, nothing of X11.
    const TWindowSystem offscreen = CurrentWindowSystem();
    EXPECT_FALSE(offscreen.X11 || offscreen.WindowPerOutput || offscreen.KeyboardGrab);
}

} // namespace
