#include "host/SaverInput.h"

#include <gtest/gtest.h>

namespace {

constexpr uint16_t kCtrlS = 0x4053;

THotkeyAction Press(int key, Qt::KeyboardModifiers modifiers, uint16_t hotkey = kCtrlS)
{
    return HotkeyAction(hotkey, ShortcutFromKeyEvent(key, modifiers));
}

TEST(SaverInputTest, KeysBecomeShortcuts)
{
    EXPECT_EQ(ShortcutFromKeyEvent(Qt::Key_S, Qt::ControlModifier), kCtrlS);
    EXPECT_EQ(ShortcutFromKeyEvent(Qt::Key_F4, Qt::AltModifier), 0x8073);
    EXPECT_EQ(ShortcutFromKeyEvent(Qt::Key_Exclam, Qt::ShiftModifier), 0x2031);
    EXPECT_EQ(ShortcutFromKeyEvent(Qt::Key_5, Qt::KeypadModifier), 0x65);
    EXPECT_EQ(ShortcutFromKeyEvent(Qt::Key_Minus, Qt::NoModifier), 0xBD);
    EXPECT_EQ(ShortcutFromKeyEvent(Qt::Key_Escape, Qt::NoModifier), 0x1B);
    // X11 reports a modifier key's press without its own modifier.
    EXPECT_EQ(ShortcutFromKeyEvent(Qt::Key_Control, Qt::NoModifier), 0x4011);
    EXPECT_EQ(ShortcutFromKeyEvent(Qt::Key_Control, Qt::ControlModifier), 0x4011);
    EXPECT_EQ(ShortcutFromKeyEvent(Qt::Key_Shift, Qt::ControlModifier), 0x6010);
}

TEST(SaverInputTest, HotKeyDecisions)
{
    EXPECT_EQ(Press(Qt::Key_Control, Qt::NoModifier), THotkeyAction::haNone);
    EXPECT_EQ(Press(Qt::Key_X, Qt::ControlModifier), THotkeyAction::haNone);
    EXPECT_EQ(Press(Qt::Key_S, Qt::NoModifier), THotkeyAction::haClose);
    EXPECT_EQ(Press(Qt::Key_S, Qt::ControlModifier), THotkeyAction::haShowFeatures);
    EXPECT_EQ(Press(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier), THotkeyAction::haClose);
    EXPECT_EQ(Press(Qt::Key_Shift, Qt::NoModifier), THotkeyAction::haClose);
    EXPECT_EQ(Press(Qt::Key_F4, Qt::AltModifier), THotkeyAction::haClose);
    // A hot key with Alt keeps Alt+F4 from ending the show, as any key with its modifiers.
    EXPECT_EQ(Press(Qt::Key_F4, Qt::AltModifier, 0x8046), THotkeyAction::haNone);
    EXPECT_EQ(Press(Qt::Key_F, Qt::AltModifier, 0x8046), THotkeyAction::haShowFeatures);
}

TEST(SaverInputTest, MouseMoveThreshold)
{
    TMouseMoveTracker tracker;
    EXPECT_FALSE(tracker.Moved(500, 500)) << "the first position only records";
    EXPECT_FALSE(tracker.Moved(510, 490));
    EXPECT_FALSE(tracker.Moved(500, 500));
    EXPECT_TRUE(tracker.Moved(511, 500));
    EXPECT_TRUE(tracker.Moved(511, 489));
    EXPECT_EQ(tracker.LastMouseX(), 511);
    EXPECT_EQ(tracker.LastMouseY(), 489);

    TMouseMoveTracker edge;
    EXPECT_FALSE(edge.Moved(0, 300));
    EXPECT_FALSE(edge.Moved(400, 300)) << "a coordinate of 0 is no starting point";
    EXPECT_TRUE(edge.Moved(400, 0));
    EXPECT_FALSE(edge.Moved(-50, 900));

    // Another window's positions are not comparable: after Forget the next one only records.
    TMouseMoveTracker crossing;
    crossing.Moved(300, 300);
    crossing.Forget();
    EXPECT_FALSE(crossing.Moved(5, 300));
    EXPECT_EQ(crossing.LastMouseX(), 5);
    EXPECT_TRUE(crossing.Moved(5, 320));
}

} // namespace
