// Each filter over a whole raster; x_memcpy compares it with a memcpy of the same bytes timed
// beside each pass.
#include "MemcpyBaseline.h"

#include "graphics/GfxFilters.h"
#include "util/CPUUtility.h"

#include <random>

namespace {

struct TPath {
    bool mmx;
    bool now3d;
    bool avx2;
};

constexpr TPath kPlain{false, false, false};
constexpr TPath kPackedMean{true, false, false};
constexpr TPath kPackedAverage{false, true, false};
constexpr TPath kPackedMeanAVX2{true, false, true};
constexpr TPath kPackedAverageAVX2{false, true, true};

// Noise, so that no path benefits from uniform pixels.
void FillNoise(TDIBRaster& raster)
{
    std::mt19937 random(7);
    for (int64_t k = 0; k < raster.PixelCount(); ++k)
        raster.Bits()[k] = random();
}

void ReportRasterBytes(benchmark::State& state, const TDIBRaster& raster)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * raster.PixelCount() * int64_t(sizeof(TPixel)));
}

// work(source, dest) over a raster of noise, timed beside a memcpy of the raster.
template <class TWork>
void RunOnRasters(benchmark::State& state, int32_t width, int32_t height, TWork work)
{
    TDIBRaster source(width, height), dest(width, height);
    FillNoise(source);
    TMemcpyBeside yardstick(size_t(source.PixelCount()) * sizeof(TPixel));
    for (auto _ : state) {
        yardstick.Time(state, [&] {
            work(source, dest);
            benchmark::DoNotOptimize(dest.Bits());
            benchmark::ClobberMemory();
        });
    }
    ReportRasterBytes(state, source);
    yardstick.Report(state);
}

template <class TFilter>
void RunFilter(benchmark::State& state, TFilter& filter, int32_t width, int32_t height)
{
    RunOnRasters(state, width, height, [&filter](TDIBRaster& source, TDIBRaster& dest) { filter.Execute(source, dest); });
}

void BM_FastSmooth(benchmark::State& state, TPath path, int32_t width, int32_t height)
{
    if (path.avx2 && !DetectedAVX2()) {
        state.SkipWithError("no AVX2");
        return;
    }
    ScopedCPUFeatures features(path.mmx, path.now3d, path.avx2);
    TFastSmooth smooth;
    RunFilter(state, smooth, width, height);
}

// Smoothing and the motion-blur fade that follows it on the drawing surface, in one pass, on
// the path the processor takes.
void BM_FastSmoothFaded(benchmark::State& state, int32_t width, int32_t height)
{
    TFastSmooth smooth;
    RunOnRasters(state, width, height,
                 [&smooth](TDIBRaster& source, TDIBRaster& dest) { smooth.ExecuteFaded(source, dest, 3); });
}

// The saver's shapes: a shift of a few percent of the raster, a zoom of a few percent.
TSinMagicParams ShiftParams(int32_t width, int32_t height)
{
    TSinMagicParams p{};
    p[smrAmplitudesX] = {0.02f * float(width), 0.01f * float(width), 0.0f, 0.0f};
    p[smrFrequenciesX] = {2.0f, 5.0f, 0.0f, 0.0f};
    p[smrAmplitudesY] = {0.02f * float(height), 0.005f * float(height), 0.0f, 0.0f};
    p[smrFrequenciesY] = {1.0f, 7.0f, 0.0f, 0.0f};
    return p;
}

TSinMagicParams ZoomParams()
{
    TSinMagicParams p{};
    p[smrAmplitudesX] = {0.03f, 0.01f, 0.0f, 0.0f};
    p[smrFrequenciesX] = {1.0f, 4.0f, 0.0f, 0.0f};
    p[smrAmplitudesY] = {0.02f, 0.01f, 0.0f, 0.0f};
    p[smrFrequenciesY] = {2.0f, 3.0f, 0.0f, 0.0f};
    return p;
}

enum class TMapShape { Identity, Shift, Zoom, ZoomOverlay, Combined };

void BM_TranslationMap(benchmark::State& state, TMapShape shape, int32_t width, int32_t height)
{
    TTranslationMap map(width, height);
    if (shape == TMapShape::Shift)
        map.BuildShiftMap(ShiftParams(width, height));
    else if (shape == TMapShape::Zoom || shape == TMapShape::ZoomOverlay)
        map.BuildZoomMap(ZoomParams(), width / 2, height / 2, shape == TMapShape::ZoomOverlay);
    else if (shape == TMapShape::Combined)
        map.BuildCombinedMap(ShiftParams(width, height), ZoomParams(), width / 2, height / 2);
    RunFilter(state, map, width, height);
}

// Heights as the about box leaves them: a sine stir and a few poked blocks.
void Disturb(TRefractionMap& heights)
{
    heights.AddSineWave(1200.0f, 0.0f, 2.0f);
    for (int32_t k = 1; k < 8; ++k)
        heights.FillHeights(heights.Width() * k / 8, heights.Height() * k / 8, 3, 3, 1600);
}

void BM_RefractionMap(benchmark::State& state, int32_t width, int32_t height)
{
    TRefractionMap map(width, height);
    map.SetRefractionIndex(2.0f);
    Disturb(map);
    RunFilter(state, map, width, height);
}

void BM_Waterize(benchmark::State& state, int32_t width, int32_t height)
{
    TWaterize water(width, height);
    Disturb(water.CurrentHeights());
    RunFilter(state, water, width, height);
}

} // namespace

#define LUMENFALL_AT_BOTH_SIZES(func, name, ...)                                                                 \
    BENCHMARK_CAPTURE(func, name##_1920x1080 __VA_OPT__(, ) __VA_ARGS__, 1920, 1080)->Unit(benchmark::kMicrosecond); \
    BENCHMARK_CAPTURE(func, name##_3840x2160 __VA_OPT__(, ) __VA_ARGS__, 3840, 2160)->Unit(benchmark::kMicrosecond)

LUMENFALL_AT_BOTH_SIZES(BM_FastSmooth, Plain, kPlain);
LUMENFALL_AT_BOTH_SIZES(BM_FastSmooth, PackedMean, kPackedMean);
LUMENFALL_AT_BOTH_SIZES(BM_FastSmooth, PackedAverage, kPackedAverage);
LUMENFALL_AT_BOTH_SIZES(BM_FastSmooth, PackedMeanAVX2, kPackedMeanAVX2);
LUMENFALL_AT_BOTH_SIZES(BM_FastSmooth, PackedAverageAVX2, kPackedAverageAVX2);
LUMENFALL_AT_BOTH_SIZES(BM_FastSmoothFaded, Detected);
LUMENFALL_AT_BOTH_SIZES(BM_TranslationMap, Identity, TMapShape::Identity);
LUMENFALL_AT_BOTH_SIZES(BM_TranslationMap, Shift, TMapShape::Shift);
LUMENFALL_AT_BOTH_SIZES(BM_TranslationMap, Zoom, TMapShape::Zoom);
LUMENFALL_AT_BOTH_SIZES(BM_TranslationMap, ZoomOverlay, TMapShape::ZoomOverlay);
LUMENFALL_AT_BOTH_SIZES(BM_TranslationMap, Combined, TMapShape::Combined);
LUMENFALL_AT_BOTH_SIZES(BM_RefractionMap, Disturbed);
LUMENFALL_AT_BOTH_SIZES(BM_Waterize, Disturbed);
