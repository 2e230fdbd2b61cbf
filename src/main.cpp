#include "host/FPUControl.h"
#include "host/RenderCommand.h"
#include "util/CPUUtility.h"
#include "util/WindowsTool.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    TFloatingPointUnit& fpu = FloatingPointUnit();
    fpu.ResetControlWord();
    fpu.SetPrecision(0);
    fpu.SetRounding(3);
    InitCPUFeatures();

    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::string company, description, version, internal, copyright, original, product, productVersion;
        ReadVersionInfo("/proc/self/exe", company, description, version, internal, copyright, original, product,
                        productVersion);
        std::printf("%s %s\n%s\n", product.c_str(), version.c_str(), copyright.c_str());
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--render") == 0) {
        // Rendering needs fonts but no display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        return RunRenderCommand(std::vector<std::string>(argv + 2, argv + argc));
    }
    std::printf("Lumenfall %s: the saver window is not built yet; try --render.\n", LUMENFALL_VERSION);
    return 0;
}
