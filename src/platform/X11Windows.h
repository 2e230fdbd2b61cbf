#pragma once
// Facts about windows of other programs on the X11 display: the preview's parent of the
// system's display settings and the window XScreenSaver gives its hacks.

#include <cstdint>
#include <optional>

struct TWindowSize {
    int32_t Width = 0;
    int32_t Height = 0;
};

// The size of a window of the display; empty without an X11 display or when no such window
// exists (a wrong id, or a parent that has gone).
std::optional<TWindowSize> X11WindowSize(uint64_t window);

// The root window of the default screen; 0 without an X11 display.
uint64_t X11RootWindow();
