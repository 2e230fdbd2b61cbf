// One whole frame through a translation map: map, smoothing back with the fade, and a wave
// of 40000 particles stepped and plotted (x_memcpy: against a memcpy of the raster timed
// beside each frame).

#include "MemcpyBaseline.h"

#include "graphics/DrawingSurface.h"
#include "kinds/ParticleWaves.h"

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

// A wave over most of the raster, in pixels, turning a little every frame.
void ShapeWave(TWaveConfig& w, int32_t width, int32_t height)
{
    w.ParticleCount = kParticles;
    w.Width = width;
    w.Height = height;
    w.Speed = 0.35f;
    const float x = 0.35f * float(width), y = 0.35f * float(height), z = 0.25f * float(height);
    w.Waves[0][waX] = {90, x, 0.2f * x, 7, 2, 0.02f, 3};
    w.Waves[0][waY] = {0, y, 0.2f * y, 5, 3, 0.02f, 2};
    w.Waves[0][waZ] = {0, z, 0.3f * z, 4, 5, 0, 0};
    w.Waves[1][waX] = {0, 0.2f * x, 0.1f * x, 11, 9, 1, 2};
    w.Waves[1][waY] = {45, 0.2f * y, 0.1f * y, 13, 9, 1, 3};
    w.BaseRed = w.BaseGreen = w.BaseBlue = 128;
    w.AmpRed = w.AmpGreen = w.AmpBlue = 120;
    w.Rot = {0.15f, 0.35f, 0.1f};
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
    TWaveConfig wave;
    ShapeWave(wave, width, height);
    TParticleWaves system;
    system.ApplyWaveConfig(wave);
    world.Add(&system);

    TMemcpyBeside yardstick(size_t(primary.PixelCount()) * sizeof(TPixel));
    for (auto _ : state) {
        yardstick.Time(state, [&] {
            surface.DrawTransformed(system, 4, map, TTransMapMode::tmmApplyBefore);
            benchmark::DoNotOptimize(primary.Bits());
            benchmark::ClobberMemory();
        });
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * primary.PixelCount() * int64_t(sizeof(TPixel)));
    yardstick.Report(state);
}

} // namespace

BENCHMARK(BM_DrawTransformedFrame)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMicrosecond);
