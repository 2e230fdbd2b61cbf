#include "graphics/GfxTool.h"
#include "util/CPUUtility.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

// Args: width, height, level, path (0 plain, 1 packed, 2 packed with AVX2).
void BM_Fade(benchmark::State& state)
{
    TDIBRaster raster(int32_t(state.range(0)), int32_t(state.range(1)));
    std::mt19937 rng(1);
    for (int64_t i = 0; i < raster.PixelCount(); ++i)
        raster.Bits()[i] = rng();
    const int64_t path = state.range(3);
    if ((path >= 1 && !DetectedMMX()) || (path == 2 && !DetectedAVX2())) {
        state.SkipWithError("path not available");
        return;
    }
    ScopedCPUFeatures paths(path >= 1, false, path == 2);
    const auto level = uint8_t(state.range(2));
    for (auto _ : state) {
        raster.Fade(level);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * raster.PixelCount() * 4);
    static constexpr const char* kPathNames[] = {"plain", "packed", "packed AVX2"};
    state.SetLabel(kPathNames[path]);
}

void FadeArgs(benchmark::internal::Benchmark* b)
{
    for (auto [w, h] : {std::pair{1920, 1080}, {3840, 2160}})
        for (int level : {1, 8})
            for (int path : {0, 1, 2})
                b->Args({w, h, level, path});
}

} // namespace

BENCHMARK(BM_Fade)->Apply(FadeArgs)->Unit(benchmark::kMicrosecond);
