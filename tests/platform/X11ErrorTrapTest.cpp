// Needs a real X11 display: CTest runs it on the Xvfb server of its x11_display fixture; it
// is skipped on the offscreen platform.

#include "platform/X11ErrorTrap.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

// Last: Xlib defines macros (None, Status) that clash with other headers.
#include <X11/Xlib.h>

namespace {

int Ignore(Display*, XErrorEvent*) { return 0; }

TEST(X11ErrorTrapTest, FailedRequestsComeBackAsAResultAndTheHandlerIsPutBack)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* display = x11 && QGuiApplication::platformName() == "xcb" ? x11->display() : nullptr;
    if (display == nullptr)
        GTEST_SKIP() << "needs an X11 display";
    const XErrorHandler before = XSetErrorHandler(&Ignore);
    {
        TX11ErrorTrap trap(display);
        XWindowAttributes attributes{};
        XGetWindowAttributes(display, Window(0x7FFFFFF), &attributes);
        EXPECT_TRUE(trap.Failed());
    }
    {
        // A new trap starts clean, and good requests do not fail.
        TX11ErrorTrap trap(display);
        XWindowAttributes attributes{};
        EXPECT_NE(XGetWindowAttributes(display, DefaultRootWindow(display), &attributes), 0);
        EXPECT_FALSE(trap.Failed());
    }
    EXPECT_EQ(XSetErrorHandler(before), &Ignore);
}

} // namespace
