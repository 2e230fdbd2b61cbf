#include <QApplication>
#include <gtest/gtest.h>

#include "util/CPUUtility.h"

int main(int argc, char** argv)
{
    // Canvas tests draw text and window tests need widgets; the offscreen platform needs no
    // display.
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    InitCPUFeatures();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
