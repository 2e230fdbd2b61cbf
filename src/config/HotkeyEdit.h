#pragma once
// A field that takes one key with its modifiers as the saver's features hot key: it shows
// the key as Qt writes shortcuts ("Ctrl+S") and holds the 16-bit code the saver reads
// (virtual key in the low byte, 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt). A key typed alone or
// with Shift alone gets Ctrl, so that the hot key never ends the saver by itself. Tab and
// Shift+Tab still move the focus; keys without a code are refused.

#include <QLineEdit>

#include <cstdint>
#include <functional>

class QKeyEvent;

class THotkeyEdit : public QLineEdit {
public:
    explicit THotkeyEdit(QWidget* parent = nullptr);

    uint16_t Hotkey() const { return hotkey_; }
    // Shows the code; does not call OnChanged.
    void SetHotkey(uint16_t hotkey);

    // Called when the user has typed a new hot key.
    std::function<void()> OnChanged;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    uint16_t hotkey_ = 0;
};

// The code a key press sets, after the Ctrl rule; 0 for keys the hot key cannot be.
uint16_t HotkeyFromKeyPress(int key, Qt::KeyboardModifiers modifiers);
// "Ctrl+S", "Ctrl+Shift+F5", as Qt writes the shortcut of the code.
QString HotkeyText(uint16_t hotkey);
