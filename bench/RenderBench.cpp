// lumenfall --render: the Y4M colour conversion of one frame on one thread (x_memcpy against
// a memcpy of the raster; compare BM_ShowFrame/Shipped_Intro_System/*/0_Wave, the rendering of
// a frame); a 4K video against rendering alone, in wall time per frame; and a whole run of
// 300 frames into a PNG folder with the default options, in wall time per frame (compare
// BM_Memcpy_1920x1080).

#include "MemcpyBaseline.h"
#include "host/RenderCommand.h"
#include "host/Y4mWriter.h"
#include "persistence/TemporaryHives.h"

#include <QImage>
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
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
    TMemcpyBeside yardstick(size_t(width) * size_t(height) * 4);
    for (auto _ : state) {
        yardstick.Time(state, [&] {
            ConvertToYuv420(frame, luma.data(), chroma.data(), chroma.data() + chroma.size() / 2);
            benchmark::DoNotOptimize(luma.data());
            benchmark::ClobberMemory();
        });
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * width * height * 4);
    yardstick.Report(state);
}

double RenderSeconds(const std::vector<std::string>& arguments)
{
    const auto start = std::chrono::steady_clock::now();
    if (RunRenderCommand(arguments) != 0)
        throw std::runtime_error("the render failed");
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// What the video adds to the rendering of the default show at 3840 x 2160, per frame in wall
// time with the default workers. A run of one frame is subtracted from each so that loading
// and building the show and saving the picture do not count, and the first render of the
// process comes before both; the video goes to /dev/null so that the disk does not count.
void BM_RenderVideo(benchmark::State& state)
{
    constexpr int32_t kFrames = 121;
    TTemporaryHives hives("renderbench");
    fs::copy_file(StagedMachineHive(), hives.MachineHive(), fs::copy_options::overwrite_existing);
    const fs::path video = hives.Folder() / "null.y4m", picture = hives.Folder() / "null.bmp";
    fs::create_symlink("/dev/null", video);
    fs::create_symlink("/dev/null", picture);
    auto perFrame = [](const fs::path& output) {
        auto run = [&output](int32_t frames) {
            return RenderSeconds({output.string(), "--size", "3840x2160", "--frames", std::to_string(frames), "--seed",
                                  "3", "--quiet"});
        };
        const double one = run(1);
        return (run(kFrames) - one) / (kFrames - 1) * 1e3;
    };
    double renderingMs = 0, videoMs = 0;
    try {
        RenderSeconds({picture.string(), "--size", "64x48", "--quiet"}); // what the first render of a process loads
        for (auto _ : state) {
            renderingMs = perFrame(picture);
            videoMs = perFrame(video);
            state.SetIterationTime(videoMs * 1e-3);
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    state.counters["rendering_ms"] = renderingMs;
    state.counters["video_ms"] = videoMs;
    state.counters["conversion_x_rendering"] = (videoMs - renderingMs) / renderingMs;
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
BENCHMARK(BM_RenderVideo)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderPngFolder)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
