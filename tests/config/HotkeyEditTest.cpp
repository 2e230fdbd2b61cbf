#include "CfgDialogSupport.h"

#include "config/HotkeyEdit.h"
#include "host/SaverInput.h"

#include <QKeySequence>

namespace {

TEST(HotkeyEdit, CtrlRule)
{
    EXPECT_EQ(HotkeyFromKeyPress(Qt::Key_S, Qt::NoModifier), 0x4053);
    EXPECT_EQ(HotkeyFromKeyPress(Qt::Key_S, Qt::ShiftModifier), 0x6053);
    EXPECT_EQ(HotkeyFromKeyPress(Qt::Key_F5, Qt::AltModifier), 0x8074);
    EXPECT_EQ(HotkeyFromKeyPress(Qt::Key_X, Qt::ControlModifier | Qt::AltModifier), 0xC058);
    // A modifier alone, or a key without a code, is no hot key.
    EXPECT_EQ(HotkeyFromKeyPress(Qt::Key_Control, Qt::ControlModifier), 0);
    EXPECT_EQ(HotkeyFromKeyPress(Qt::Key_Shift, Qt::ShiftModifier), 0);
    EXPECT_EQ(HotkeyFromKeyPress(Qt::Key_VolumeUp, Qt::NoModifier), 0);
}

TEST(HotkeyEdit, TextIsQtsAndReadsBackToTheSameCode)
{
    EXPECT_EQ(HotkeyText(0x4053), "Ctrl+S");
    EXPECT_EQ(HotkeyText(0xE074), "Ctrl+Alt+Shift+F5");
    EXPECT_EQ(HotkeyText(0x40BD), "Ctrl+-");
    // Every hot key that can be typed has a name, written with a key that gives its code back.
    for (const int first : {0x20, int(Qt::Key_Escape)}) {
        for (int key = first; key < first + 0x100; ++key) {
            if (const uint16_t hotkey = HotkeyFromKeyPress(key, Qt::NoModifier)) {
                EXPECT_FALSE(HotkeyText(hotkey).startsWith("0x")) << key;
            }
        }
    }
    for (int code = 1; code < 256; ++code) {
        const QString text = HotkeyText(uint16_t(0x4000 | code));
        if (text.startsWith("0x"))
            continue; // no key has this code
        const QKeySequence sequence = QKeySequence::fromString(text);
        ASSERT_FALSE(sequence.isEmpty()) << text.toStdString();
        const QKeyCombination key = sequence[0];
        EXPECT_EQ(VirtualKeyFromQtKey(key.key(), key.keyboardModifiers() & Qt::KeypadModifier), code)
            << HotkeyText(uint16_t(0x4000 | code)).toStdString();
        EXPECT_TRUE(key.keyboardModifiers() & Qt::ControlModifier);
    }
}

TEST(HotkeyEdit, TypedKeyReplacesTheHotkey)
{
    THotkeyEdit edit;
    int changes = 0;
    edit.OnChanged = [&] { ++changes; };
    edit.SetHotkey(0x4053);
    EXPECT_EQ(changes, 0);

    SendKey(edit, Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_EQ(edit.Hotkey(), 0x4053);
    SendKey(edit, Qt::Key_F, Qt::ShiftModifier, "F");
    EXPECT_EQ(edit.Hotkey(), 0x6046);
    EXPECT_EQ(edit.text(), "Ctrl+Shift+F");
    EXPECT_EQ(changes, 1);

    SendKey(edit, Qt::Key_VolumeDown, Qt::NoModifier);
    EXPECT_EQ(edit.Hotkey(), 0x6046);
    EXPECT_EQ(changes, 1);
}

} // namespace
