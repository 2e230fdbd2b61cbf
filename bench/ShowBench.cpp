// Whole show frames: RenderFrame in each item of the show (wave, morph to the logo, logo,
// morph back, wave, morph to the text, text, morph back) on screens of 1920x1080 and
// 3840x2160, with the wave drawn over the whole screen, for every wave preset of the staged
// installation and for presets made here that take each render mode and each filter path
// with the largest particle count (x_memcpy: against a memcpy of the raster timed beside
// each frame).
//
// Each show is built once from a scratch installation and runs on a simulated clock through
// its items in order; a benchmark times a fixed number of frames of one item after a few
// frames that fill the trails.

#include "MemcpyBaseline.h"
#include "graphics/GfxTool.h"
#include "host/SaverShow.h"
#include "kinds/LumenfallCfg.h"
#include "persistence/TemporaryHives.h"
#include "sequencing/LumenfallSequences.h"
#include "sequencing/Sequencer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kFrameInterval = 21;
constexpr int32_t kMorphDuration = 2; // 100 steps: the timed frames lie well inside
constexpr int kWarmUpFrames = 10;
constexpr int kTimedFrames = 30;
constexpr int32_t kItemCount = 8;
constexpr const char* kItemNames[kItemCount] = {"0_Wave",          "1_MorphToLogo", "2_Logo",
                                                "3_MorphFromLogo", "4_Wave",        "5_MorphToText",
                                                "6_Text",          "7_MorphFromText"};

// The installation the build stages beside its programs.
fs::path StagedInstallation()
{
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    return executable.parent_path().parent_path() / "share" / "lumenfall";
}

// The default show's logo and text.
TLogoConfig Logo()
{
    TLogoConfig logo;
    logo.Name = "Emblem";
    logo.ParticleCount = 6000;
    logo.MotionBlur = 3;
    logo.RenderMode = TRenderMode::rmDrawMixMode;
    logo.Tolerance = 48;
    logo.Rot = {0.0f, 0.6f, 0.0f};
    logo.Path = (StagedInstallation() / "logos" / "lumenfall-emblem.bmp").string();
    return logo;
}

TTextConfig Text()
{
    TTextConfig text;
    text.Name = "Welcome";
    text.MotionBlur = 2;
    text.RenderMode = TRenderMode::rmDrawMixMode;
    text.Angle = {12, 0, -6};
    text.Rot = {0, 0.5f, 0};
    text.Text = "Welcome to Lumenfall  *  particles in light  *  ";
    text.FontName = "Arial";
    text.FontSize = 40;
    text.FontStyle = fsBold;
    text.Color = 0x00FFD080;
    return text;
}

// A show of one wave preset, drawn over the whole screen, on its own clock.
class TShowRun {
public:
    TShowRun(const TWaveConfig& preset, int32_t screenWidth, int32_t screenHeight) : hives_("showbench")
    {
        THive machine(HKEY_LOCAL_MACHINE);
        machine.SetValue(kSettingsKey, "WavesDirectory",
                         TRegData::String((StagedInstallation() / "waves").string() + "/"));
        machine.SaveToFile(hives_.MachineHive().string());
        TBlankerSettings settings;
        settings.ActiveWave->Assign(preset);
        settings.ActiveLogo = Logo();
        settings.ActiveText = Text();
        settings.MorphDuration = kMorphDuration;
        settings.OverrideDrawArea = true;
        settings.OverallWidth = settings.OverallHeight = 100;
        SaveBlankerSettings(settings);
        show_.LoadSettings(1);
        show_.PrepareWave(screenWidth, screenHeight, 0);
        show_.BuildShow();
    }

    int32_t CurrentIndex() const { return show_.Controler()->CurrentIndex(); }
    std::string CurrentItemName() const { return show_.CurrentItemName(); }

    void Frame()
    {
        now_ += kFrameInterval;
        show_.RenderFrame();
    }

    // Runs the show on until the item at index is current: a timed item ends by its clock,
    // a morph by its steps.
    void AdvanceTo(int32_t index)
    {
        while (CurrentIndex() != index) {
            const auto* item = show_.Controler()->Current();
            if (dynamic_cast<const TParticleMorphSequence*>(item) == nullptr)
                now_ += uint32_t(item->Duration());
            Frame();
        }
    }

private:
    TTemporaryHives hives_;
    uint32_t now_ = 0;
    ScopedSequencerClock clock_{[this] { return now_; }};
    TSaverShow show_;
};

// Presets are made when their show is built: reflective classes register themselves
// during static initialisation, which is no time to use them.
struct TShowPreset {
    std::string Name;
    std::function<std::unique_ptr<TWaveConfig>()> Make;
};

// The show of the benchmark before stays, so that the items of one show run in order.
TShowRun& RunFor(const TShowPreset& preset, int32_t item, int32_t width, int32_t height)
{
    static std::unique_ptr<TShowRun> run;
    static std::string key;
    const std::string wanted = preset.Name + "@" + std::to_string(width) + "x" + std::to_string(height);
    if (!run || key != wanted || run->CurrentIndex() > item) {
        run.reset();
        run = std::make_unique<TShowRun>(*preset.Make(), width, height);
        key = wanted;
    }
    return *run;
}

void BM_ShowFrame(benchmark::State& state, const TShowPreset& preset, int32_t item, int32_t width, int32_t height)
{
    TShowRun& run = RunFor(preset, item, width, height);
    run.AdvanceTo(item);
    for (int i = 0; i < kWarmUpFrames; ++i)
        run.Frame();
    TMemcpyBeside yardstick(size_t(width) * size_t(height) * sizeof(TPixel));
    for (auto _ : state)
        yardstick.Time(state, [&run] { run.Frame(); });
    yardstick.Report(state);
    if (run.CurrentIndex() != item)
        state.SkipWithError("the item ended while it was timed");
    state.SetLabel(run.CurrentItemName());
}

// Spread over the drawing area like the shipped presets, with 40000 particles.
std::unique_ptr<TWaveConfig> LargestWave(const std::string& name, TRenderMode mode)
{
    auto w = std::make_unique<TWaveConfig>();
    w->Name = name;
    w->ParticleCount = 40000;
    w->MotionBlur = 3;
    w->RenderMode = mode;
    w->Width = w->Height = 100;
    w->Speed = 0.35f;
    w->Waves[0][waX] = {90, 35, 8, 7, 2, 0.02f, 3};
    w->Waves[0][waY] = {0, 35, 8, 5, 3, 0.02f, 2};
    w->Waves[0][waZ] = {0, 25, 10, 4, 5, 0, 0};
    w->Waves[1][waX] = {0, 8, 5, 11, 9, 1, 2};
    w->Waves[1][waY] = {45, 8, 5, 13, 9, 1, 3};
    w->BaseRed = 150;
    w->AmpRed = 120;
    w->FreqRed = 2;
    w->BaseGreen = 110;
    w->AmpGreen = 110;
    w->FreqGreen = 3;
    w->BaseBlue = 190;
    w->AmpBlue = 80;
    w->Rot = {0.15f, 0.35f, 0.1f};
    return w;
}

// Shift amplitudes in percent of the raster, zoom amplitudes as fractions, the combined
// map's shift in pixels.
std::string MappedName(TTransMapStyle style, TTransMapMode mode)
{
    static constexpr const char* kStyles[] = {"Shift", "Zoom", "ZoomOverlay", "ZoomCombined"};
    return std::string("Largest_Stars_") + kStyles[size_t(style)] +
           (mode == TTransMapMode::tmmApplyBefore ? "_Before" : "_After");
}

std::unique_ptr<TWaveConfig> MappedWave(TTransMapStyle style, TTransMapMode mode)
{
    auto w = LargestWave(MappedName(style, mode), TRenderMode::rmDrawStars);
    w->TransMapFilter = true;
    w->TransMapStyle = style;
    w->TransMapMode = mode;
    w->ZoomCenterX = w->ZoomCenterY = 50;
    const TSinMagicParams zoom{{{0.02f, 0.01f, 0, 0}, {1, 3, 0, 0}, {0.02f, 0.01f, 0, 0}, {2, 1, 0, 0}}};
    const float shiftScale = style == TTransMapStyle::tmsWavedZoomCombined ? 8.0f : 1.0f;
    const TSinMagicParams shift{{{1.5f * shiftScale, 0.5f * shiftScale, 0, 0},
                                 {2, 5, 0, 0},
                                 {1.5f * shiftScale, 0.5f * shiftScale, 0, 0},
                                 {1, 3, 0, 0}}};
    w->SinMagicParams = style == TTransMapStyle::tmsWaved || style == TTransMapStyle::tmsWavedZoomCombined ? shift
                                                                                                           : zoom;
    w->SinMagicParams2 = zoom;
    return w;
}

std::unique_ptr<TWaveConfig> SmoothedWave()
{
    auto w = LargestWave("Largest_Stars_Smoothed", TRenderMode::rmDrawStars);
    w->SmoothFilter = true;
    return w;
}

std::vector<TShowPreset> ShowPresets()
{
    std::vector<TShowPreset> presets;
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(StagedInstallation() / "waves", error))
        if (entry.path().extension() == ".lmx")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        std::string name = file.stem().string();
        std::replace(name.begin(), name.end(), ' ', '_');
        presets.push_back({"Shipped_" + name, [file] {
                               auto wave = std::make_unique<TWaveConfig>();
                               wave->LoadFromFile(file.string());
                               return wave;
                           }});
    }
    for (auto [name, mode] : {std::pair{"Largest_Dots", TRenderMode::rmDraw},
                              std::pair{"Largest_Fipsel", TRenderMode::rmDrawMixMode},
                              std::pair{"Largest_Stars", TRenderMode::rmDrawStars}})
        presets.push_back({name, [name = std::string(name), mode = mode] { return LargestWave(name, mode); }});
    presets.push_back({"Largest_Stars_Smoothed", SmoothedWave});
    for (auto style : {TTransMapStyle::tmsWaved, TTransMapStyle::tmsWavedZoom, TTransMapStyle::tmsWavedZoomOverlay,
                       TTransMapStyle::tmsWavedZoomCombined})
        for (auto mode : {TTransMapMode::tmmApplyBefore, TTransMapMode::tmmApplyAfter})
            presets.push_back({MappedName(style, mode), [style, mode] { return MappedWave(style, mode); }});
    return presets;
}

[[maybe_unused]] const bool registered = [] {
    static const std::vector<TShowPreset> presets = ShowPresets();
    for (const TShowPreset& preset : presets)
        for (auto [width, height] : {std::pair{1920, 1080}, std::pair{3840, 2160}})
            for (int32_t item = 0; item < kItemCount; ++item) {
                const std::string name = "BM_ShowFrame/" + preset.Name + "/" + std::to_string(width) + "x" +
                                         std::to_string(height) + "/" + kItemNames[item];
                benchmark::RegisterBenchmark(name.c_str(), BM_ShowFrame, preset, item, width, height)
                    ->Iterations(kTimedFrames)
                    ->Unit(benchmark::kMicrosecond);
            }
    return true;
}();

} // namespace
