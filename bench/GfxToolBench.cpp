#include "graphics/GfxTool.h"
#include "util/CPUUtility.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

// Args: width, height, level, packed (0 or 1).
void BM_Fade(benchmark::State& state)
{
    TDIBRaster raster(int32_t(state.range(0)), int32_t(state.range(1)));
    std::mt19937 rng(1);
    for (int64_t i = 0; i < raster.PixelCount(); ++i)
        raster.Bits()[i] = rng();
    ScopedCPUFeatures paths(state.range(3) != 0 && DetectedMMX(), false);
    const auto level = uint8_t(state.range(2));
    for (auto _ : state) {
        raster.Fade(level);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * raster.PixelCount() * 4);
    state.SetLabel(state.range(3) ? "packed" : "plain");
}

void FadeArgs(benchmark::internal::Benchmark* b)
{
    for (auto [w, h] : {std::pair{1920, 1080}, {3840, 2160}})
        for (int level : {1, 8})
            for (int packed : {0, 1})
                b->Args({w, h, level, packed});
}

} // namespace

BENCHMARK(BM_Fade)->Apply(FadeArgs)->Unit(benchmark::kMicrosecond);
