#include <benchmark/benchmark.h>

#include "util/CPUUtility.h"

int main(int argc, char** argv)
{
    InitCPUFeatures();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
