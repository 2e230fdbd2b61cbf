#include "config/HotkeyEdit.h"

#include "host/SaverInput.h"

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>

namespace {

bool IsModifierKey(int key)
{
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_AltGr ||
           key == Qt::Key_Meta || key == Qt::Key_Super_L || key == Qt::Key_Super_R;
}

// The Qt key with the given virtual-key code that a shortcut is written with: the unshifted
// one where several keys share a code.
QKeyCombination QtKeyOfCode(uint8_t code)
{
    if (code >= 0x60 && code <= 0x6F) {
        for (const int key : {int(Qt::Key_0) + (code - 0x60), int(Qt::Key_Asterisk), int(Qt::Key_Plus),
                              int(Qt::Key_Minus), int(Qt::Key_Period), int(Qt::Key_Slash)})
            if (VirtualKeyFromQtKey(key, true) == code)
                return QKeyCombination(Qt::KeypadModifier, Qt::Key(key));
    }
    for (const int key : {Qt::Key_Semicolon, Qt::Key_Equal, Qt::Key_Comma, Qt::Key_Minus, Qt::Key_Period,
                          Qt::Key_Slash, Qt::Key_QuoteLeft, Qt::Key_BracketLeft, Qt::Key_Backslash,
                          Qt::Key_BracketRight, Qt::Key_Apostrophe, Qt::Key_Space})
        if (VirtualKeyFromQtKey(key) == code)
            return QKeyCombination(Qt::Key(key));
    if ((code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9'))
        return QKeyCombination(Qt::Key(code));
    for (int key = Qt::Key_Escape; key <= Qt::Key_F35; ++key)
        if (VirtualKeyFromQtKey(key) == code)
            return QKeyCombination(Qt::Key(key));
    // Qt has no name for the right Windows key.
    for (int key = Qt::Key_Super_L; key <= Qt::Key_Direction_R; ++key)
        if (key != Qt::Key_Super_R && VirtualKeyFromQtKey(key) == code)
            return QKeyCombination(Qt::Key(key));
    return QKeyCombination(Qt::Key_unknown);
}

} // namespace

uint16_t HotkeyFromKeyPress(int key, Qt::KeyboardModifiers modifiers)
{
    if (IsModifierKey(key))
        return 0;
    uint16_t hotkey = ShortcutFromKeyEvent(key, modifiers);
    if ((hotkey & 0xFF) == 0)
        return 0;
    if ((hotkey & (kShortcutCtrl | kShortcutAlt)) == 0)
        hotkey |= kShortcutCtrl;
    return hotkey;
}

QString HotkeyText(uint16_t hotkey)
{
    const QKeyCombination key = QtKeyOfCode(uint8_t(hotkey & 0xFF));
    if (key.key() == Qt::Key_unknown)
        return QString("0x%1").arg(hotkey, 4, 16, QChar('0'));
    Qt::KeyboardModifiers modifiers = key.keyboardModifiers();
    if (hotkey & kShortcutShift)
        modifiers |= Qt::ShiftModifier;
    if (hotkey & kShortcutCtrl)
        modifiers |= Qt::ControlModifier;
    if (hotkey & kShortcutAlt)
        modifiers |= Qt::AltModifier;
    return QKeySequence(QKeyCombination(modifiers, key.key())).toString(QKeySequence::NativeText);
}

THotkeyEdit::THotkeyEdit(QWidget* parent) : QLineEdit(parent)
{
    setReadOnly(true);
    // Read-only line edits hide the cursor; the field still takes the keyboard focus.
    setFocusPolicy(Qt::StrongFocus);
    setContextMenuPolicy(Qt::NoContextMenu);
}

void THotkeyEdit::SetHotkey(uint16_t hotkey)
{
    hotkey_ = hotkey;
    setText(HotkeyText(hotkey));
}

bool THotkeyEdit::event(QEvent* event)
{
    // Shortcuts of the window (mnemonics, Enter for the default button) must not take the
    // keys meant for the field; only Tab and Shift+Tab move on.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab && key->key() != Qt::Key_Escape) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void THotkeyEdit::keyPressEvent(QKeyEvent* event)
{
    if (IsModifierKey(event->key()))
        return;
    const uint16_t hotkey = HotkeyFromKeyPress(event->key(), event->modifiers());
    if (hotkey == 0) {
        QApplication::beep();
        return;
    }
    SetHotkey(hotkey);
    if (OnChanged)
        OnChanged();
}
