#pragma once
// What input does to the running saver, apart from any window: keys as 16-bit shortcuts
// (the platform's virtual-key code in the low byte, 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt, as
// the settings store the hot key), the hot-key decision and the mouse-move threshold.

#include <Qt>

#include <cstdint>

inline constexpr uint16_t kShortcutShift = 0x2000;
inline constexpr uint16_t kShortcutCtrl = 0x4000;
inline constexpr uint16_t kShortcutAlt = 0x8000;
inline constexpr uint16_t kShortcutModifiers = kShortcutShift | kShortcutCtrl | kShortcutAlt;

// The virtual-key code of a Qt key, 0 for keys that have none. keypad selects the number
// pad's codes for digits and operators.
uint8_t VirtualKeyFromQtKey(int key, bool keypad = false);

// The shortcut of a key press. A modifier key pressed alone counts with its own modifier
// (X11 reports the state from before the press), so Ctrl alone is Ctrl with the Ctrl key.
uint16_t ShortcutFromKeyEvent(int key, Qt::KeyboardModifiers modifiers);

enum class THotkeyAction : uint8_t { haNone, haClose, haShowFeatures };

// Other modifiers than the hot key's close; the hot key's modifiers with its key open the
// saving features; with another key (the modifier keys themselves included) nothing happens.
THotkeyAction HotkeyAction(uint16_t hotkey, uint16_t pressed);

// Mouse movement ends the saver when it goes more than MouseMoveThreshold pixels on either
// axis from the last reported position. A position with a coordinate of 0 or less is not a
// starting point, so the first report after the start only records.
inline constexpr int32_t kMouseMoveThreshold = 10;

class TMouseMoveTracker {
public:
    // True when the move should end the saver; the position is recorded either way.
    bool Moved(int32_t x, int32_t y);
    // Drops the last position, as before the first report: positions are local to a window,
    // so the first report in another window only records.
    void Forget();
    int32_t LastMouseX() const { return lastX_; }
    int32_t LastMouseY() const { return lastY_; }

private:
    int32_t lastX_ = -1;
    int32_t lastY_ = -1;
};
