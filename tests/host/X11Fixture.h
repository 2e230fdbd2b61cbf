#pragma once
// The fixture of the tests that need a real X11 display (CTest runs them under Xvfb as
// lumenfall_tests_x11; on another platform they are skipped), and what they ask the server.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

class X11Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != "xcb")
            GTEST_SKIP() << "needs an X11 display";
    }
};

// Runs the event loop until the condition holds or the deadline passes; the condition's last value.
inline bool WaitUntil(const std::function<bool()>& condition, int milliseconds = 10000)
{
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

inline bool WaitExposed(QWidget& widget)
{
    return WaitUntil([&] { return widget.windowHandle() && widget.windowHandle()->isExposed(); }, 5000);
}
