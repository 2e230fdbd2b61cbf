#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "util/CPUUtility.h"

namespace {

// CTest's X11 tests share one Xvfb server, which chooses its display when it starts and names
// it in this file; they run on the xcb platform.
void UseDisplayOfTheTestServer()
{
    const char* file = std::getenv("LUMENFALL_X11_DISPLAY_FILE");
    if (file == nullptr)
        return;
    std::string display;
    std::getline(std::ifstream(file), display);
    ::setenv("DISPLAY", display.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
}

} // namespace

int main(int argc, char** argv)
{
    // Canvas tests draw text and window tests need widgets; the offscreen platform needs no
    // display.
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    UseDisplayOfTheTestServer();
    QApplication app(argc, argv);
    InitCPUFeatures();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
