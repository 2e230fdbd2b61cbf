#include "platform/X11Windows.h"

#include "platform/X11ErrorTrap.h"

#include <QGuiApplication>

#include <X11/Xlib.h>

namespace {

Display* ApplicationDisplay()
{
    if (auto* app = qGuiApp)
        if (auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>())
            return x11->display();
    return nullptr;
}

} // namespace

std::optional<TWindowSize> X11WindowSize(uint64_t window)
{
    Display* display = ApplicationDisplay();
    if (!display || window == 0)
        return std::nullopt;
    // A window that does not exist is an X error, which must not end the process.
    TX11ErrorTrap trap(display);
    XWindowAttributes attributes{};
    const Status status = XGetWindowAttributes(display, Window(window), &attributes);
    if (!status || trap.Failed())
        return std::nullopt;
    return TWindowSize{attributes.width, attributes.height};
}

uint64_t X11RootWindow()
{
    Display* display = ApplicationDisplay();
    return display ? uint64_t(DefaultRootWindow(display)) : 0;
}
