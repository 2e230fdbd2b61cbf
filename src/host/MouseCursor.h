#pragma once
// The mouse cursor's show count, as the saver windows use it: each ShowCursor(true) adds one,
// each ShowCursor(false) takes one away, and the cursor is visible while the count is 0 or
// more. Hiding sets a blank override cursor for the whole application.

// Returns the new count.
int ShowCursor(bool show);
bool CursorVisible();

// Sends the blank cursor again while the cursor is hidden. A Wayland compositor takes a
// cursor only from a window that has the pointer, so a window calls this when the pointer
// enters it.
void RefreshHiddenCursor();
