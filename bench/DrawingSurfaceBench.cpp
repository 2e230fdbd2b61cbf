// One whole frame through a translation map: map, smoothing back, fade and 40000
// particles stepped and plotted (compare BM_Memcpy_* of the same raster size).

#include <benchmark/benchmark.h>

#include "engine/ParticleSystem.h"
#include "graphics/DrawingSurface.h"

#include <random>

namespace {

constexpr int32_t kParticles = 40000;

// A shift of a few percent of the raster, as the saver's presets use.
TSinMagicParams ShiftParams(int32_t width, int32_t height)
{
    TSinMagicParams p{};
    p[smrAmplitudesX] = {0.02f * float(width), 0.01f * float(width), 0.0f, 0.0f};
    p[smrFrequenciesX] = {2.0f, 5.0f, 0.0f, 0.0f};
    p[smrAmplitudesY] = {0.02f * float(height), 0.005f * float(height), 0.0f, 0.0f};
    p[smrFrequenciesY] = {1.0f, 7.0f, 0.0f, 0.0f};
    return p;
}

void BM_DrawTransformedFrame(benchmark::State& state)
{
    const auto width = int32_t(state.range(0));
    const auto height = int32_t(state.range(1));
    TDIBRaster primary(width, height), secondary(width, height);
    TDrawingSurface surface(primary, secondary);
    TTranslationMap map(width, height);
    map.BuildShiftMap(ShiftParams(width, height));
    TWorld3d world(ZeroPosition, -float((width + height) / 2), ZeroAngle, {width / 2, height / 2});

    // A cloud spread over the whole raster, turning a little every frame.
    TParticleSystem system;
    system.SetParticleCount(kParticles);
    system.Rot = {0.3f, 0.7f, 0.1f};
    world.Add(&system);
    std::mt19937 random(1);
    std::uniform_real_distribution<float> x(-width / 2.0f, width / 2.0f);
    std::uniform_real_distribution<float> y(-height / 2.0f, height / 2.0f);
    std::uniform_real_distribution<float> z(-height / 4.0f, height / 4.0f);
    for (int32_t i = 0; i < kParticles; ++i) {
        system.Points[i] = {x(random), y(random), z(random)};
        system.Colors[i] = TPixel(random()) & 0x00FFFFFFu;
    }

    for (auto _ : state) {
        surface.DrawTransformed(system, 4, map, TTransMapMode::tmmApplyBefore);
        benchmark::DoNotOptimize(primary.Bits());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * primary.PixelCount() * int64_t(sizeof(TPixel)));
}

} // namespace

BENCHMARK(BM_DrawTransformedFrame)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMicrosecond);
