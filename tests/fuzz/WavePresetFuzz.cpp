// A wave preset file (".lmx") loaded as the show loads one, then the show built from it on a
// small screen and a few frames drawn.

#include "fuzz/FuzzTarget.h"
#include "host/SaverShow.h"
#include "kinds/LumenfallCfg.h"
#include "sequencing/Sequencer.h"
#include "util/CPUUtility.h"

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

// The loader reads files: one scratch file per process.
std::string ScratchPresetFile(std::span<const uint8_t> data)
{
    static const std::string name = "/tmp/lumenfall-fuzz-" + std::to_string(::getpid()) + ".lmx";
    std::FILE* file = std::fopen(name.c_str(), "wb");
    if (!file)
        FuzzFinding("cannot write " + name);
    std::fwrite(data.data(), 1, data.size(), file);
    std::fclose(file);
    return name;
}

} // namespace

LUMENFALL_FUZZ_ENTRY(wave_preset)
{
    EnsureGuiApplication();
    static const bool cpu = (InitCPUFeatures(), true);
    (void)cpu;
    uint32_t now = 0;
    ScopedSequencerClock clock([&now] { return now; });
    TSaverShow show;
    try {
        show.Settings().ActiveWave->LoadFromFile(ScratchPresetFile(data));
    } catch (const EWaveConfigError&) {
        return;
    }
    show.Settings().ActiveText.Text = "Fuzz";
    // A small screen keeps even the largest allowed percentages cheap to draw.
    show.PrepareWave(16, 12, 0);
    show.BuildShow();
    for (int frame = 0; frame < 3; ++frame) {
        now += 21;
        show.RenderFrame();
    }
    // The loader's limits are there so that every preset it accepts can be shown.
    for (const std::string& message : show.Messages())
        if (message.rfind(kFrameErrorMessage, 0) == 0 || message.rfind(kWaveSkippedMessage, 0) == 0)
            FuzzFinding("an accepted preset is not shown: " + message);
}
