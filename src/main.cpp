#include "host/FPUControl.h"
#include "util/CPUUtility.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    TFloatingPointUnit& fpu = FloatingPointUnit();
    fpu.ResetControlWord();
    fpu.SetPrecision(0);
    fpu.SetRounding(3);
    InitCPUFeatures();

    if (argc > 1 && (std::strcmp(argv[1], "--version") == 0)) {
        std::printf("Lumenfall %s\n", LUMENFALL_VERSION);
        return 0;
    }
    std::printf("Lumenfall %s: the saver window is not built yet.\n", LUMENFALL_VERSION);
    return 0;
}
