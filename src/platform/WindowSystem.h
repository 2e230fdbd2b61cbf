#pragma once
// What the window system under the application lets the saver do. Decided in one place from
// Qt's platform plug-in, so that shared code asks for a capability instead of a platform.

#include <QStringView>

struct TWindowSystem {
    // X11 calls are possible: display modes, foreign windows, the keyboard grab.
    bool X11 = false;
    // The compositor places every window itself: full screen is one window per output,
    // shown full screen on that output's screen.
    bool WindowPerOutput = false;
    // A window may take all keyboard input and stay out of the window manager's hands.
    bool KeyboardGrab = false;
    bool BypassWindowManager = false;
};

// The capabilities of a Qt platform plug-in by its name ("xcb", "wayland", "offscreen", ...).
TWindowSystem WindowSystemOf(QStringView platformName);

// The capabilities of the running application's platform; those of no window system before
// the application object exists.
TWindowSystem CurrentWindowSystem();
