#include <QGuiApplication>
#include <gtest/gtest.h>

#include "util/CPUUtility.h"

int main(int argc, char** argv)
{
    // Canvas tests draw text; the offscreen platform needs no display.
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    InitCPUFeatures();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
