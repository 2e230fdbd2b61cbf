// lumenfall --render: the Y4M colour conversion of one frame (compare BM_Memcpy_* of the same
// raster and BM_ShowFrame/Shipped_Intro_System/*/0_Wave, the rendering of a frame), and a
// whole run of 300 frames into a PNG folder with the default options, in wall time per frame
// (compare BM_Memcpy_1920x1080).

#include "host/RenderCommand.h"
#include "host/Y4mWriter.h"
#include "persistence/TemporaryHives.h"

#include <QImage>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path StagedMachineHive()
{
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    return executable.parent_path().parent_path() / "share" / "lumenfall" / "machine.reg";
}

void BM_Y4mConversion(benchmark::State& state, int32_t width, int32_t height)
{
    QImage frame(width, height, QImage::Format_RGB32);
    std::mt19937 random(11);
    for (int32_t y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(frame.scanLine(y));
        for (int32_t x = 0; x < width; ++x)
            row[x] = random();
    }
    std::vector<uint8_t> luma(size_t(width) * height), chroma(size_t((width + 1) / 2) * ((height + 1) / 2) * 2);
    for (auto _ : state) {
        ConvertToYuv420(frame, luma.data(), chroma.data(), chroma.data() + chroma.size() / 2);
        benchmark::DoNotOptimize(luma.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * width * height * 4);
}

// The default show of the staged installation, 300 frames of 1920 x 1080 into a folder.
void BM_RenderPngFolder(benchmark::State& state)
{
    constexpr int32_t kFrames = 300;
    TTemporaryHives hives("renderbench");
    fs::copy_file(StagedMachineHive(), hives.MachineHive(), fs::copy_options::overwrite_existing);
    const std::string folder = (hives.Folder() / "frames").string() + "/";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(folder);
        fs::remove(hives.UserHive());
        state.ResumeTiming();
        if (RunRenderCommand({folder, "--frames", std::to_string(kFrames), "--seed", "3", "--quiet"}) != 0) {
            state.SkipWithError("the render failed");
            return;
        }
    }
    state.counters["frames"] = kFrames;
    state.counters["ms_per_frame"] =
        benchmark::Counter(double(kFrames) * 1e-3, benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK_CAPTURE(BM_Y4mConversion, 1920x1080, 1920, 1080)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Y4mConversion, 3840x2160, 3840, 2160)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderPngFolder)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
