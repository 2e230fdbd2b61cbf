#include <QGuiApplication>
#include <benchmark/benchmark.h>

#include "util/CPUUtility.h"

int main(int argc, char** argv)
{
    // The show's text is drawn with the platform's fonts; the offscreen platform needs no
    // display.
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    InitCPUFeatures();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
