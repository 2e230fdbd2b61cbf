// The compact forms of the translation maps and the one-pass mapped frame, against the maps
// built entry by entry and the map followed by the faded smoothing.
#include "graphics/GfxFilters.h"

#include "util/CPUUtility.h"
#include "util/NumericConversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

struct TSize {
    int32_t w;
    int32_t h;
};

// Rows of 4n and 4n + 2 pixels, rasters of a few rows (less than one band), one of many
// bands, and one whose shifted rows wait longer than the map's window holds.
const TSize kSizes[] = {{2, 2}, {6, 4}, {98, 60}, {100, 62}, {64, 2}, {1026, 6}, {2050, 96}};
const TSize kTallLag{4096, 700};

TSinMagicParams Params(float ax, float fx, float ay, float fy)
{
    TSinMagicParams p{};
    p[smrAmplitudesX] = {ax, ax / 3.0f, 0.0f, ax / 7.0f};
    p[smrFrequenciesX] = {fx, 3.5f, 0.0f, 11.0f};
    p[smrAmplitudesY] = {ay, ay / 2.0f, 0.0f, 0.0f};
    p[smrFrequenciesY] = {fy, 5.0f, 0.0f, 0.0f};
    return p;
}

float SineSum(const std::array<float, 4>& a, const std::array<float, 4>& f, int32_t i, int32_t n, bool zoom)
{
    float sum = 0.0f;
    for (size_t k = 0; k < 4; ++k) {
        const float degrees = float(int64_t(i) * 360) * f[k] / float(n);
        const float s = std::sin(float(double(degrees) / 57.29577951308232));
        sum += a[k] * (zoom ? 1.0f + s : s);
    }
    return zoom ? sum : float(TruncToInt(sum));
}

enum class TStyle { Shift, Zoom, Overlay, Combined };
const TStyle kStyles[] = {TStyle::Shift, TStyle::Zoom, TStyle::Overlay, TStyle::Combined};

// Shift amplitudes in pixels (a fifth of the side and, in the far set, beyond it), zoom
// amounts that magnify and that shrink (whose sources mirror at the edges).
struct TParamsSet {
    TSinMagicParams shift;
    TSinMagicParams zoom;
};

std::vector<TParamsSet> ParamsFor(TSize s)
{
    return {{Params(0.2f * float(s.h), 2.0f, 0.2f * float(s.w), 1.0f), Params(0.05f, 1.0f, 0.04f, 2.0f)},
            {Params(-1.5f * float(s.h), 3.0f, 2.5f * float(s.w), 7.0f), Params(-0.6f, 3.0f, -0.3f, 1.0f)},
            {Params(0.0f, 0.0f, 0.0f, 0.0f), Params(0.0f, 0.0f, 0.0f, 0.0f)}};
}

void Build(TTranslationMap& map, TStyle style, const TParamsSet& p, int32_t cx, int32_t cy)
{
    switch (style) {
    case TStyle::Shift: map.BuildShiftMap(p.shift); break;
    case TStyle::Zoom: map.BuildZoomMap(p.zoom, cx, cy, false); break;
    case TStyle::Overlay: map.BuildZoomMap(p.zoom, cx, cy, true); break;
    case TStyle::Combined: map.BuildCombinedMap(p.shift, p.zoom, cx, cy); break;
    }
}

// The map entry by entry, straight from the formulas.
void BuildByEntries(TTranslationMap& map, TStyle style, const TParamsSet& p, int32_t cx, int32_t cy)
{
    const int32_t w = map.Width(), h = map.Height();
    for (int32_t j = 0; j < h; ++j)
        for (int32_t i = 0; i < w; ++i) {
            const float dx = SineSum(p.shift[smrAmplitudesX], p.shift[smrFrequenciesX], i, w, false);
            const float dy = SineSum(p.shift[smrAmplitudesY], p.shift[smrFrequenciesY], j, h, false);
            const float zx = SineSum(p.zoom[smrAmplitudesX], p.zoom[smrFrequenciesX], i, w, true);
            const float zy = SineSum(p.zoom[smrAmplitudesY], p.zoom[smrFrequenciesY], j, h, true);
            const int32_t si = TruncToInt(float(i) + dy), sj = TruncToInt(float(j) + dx);
            const float t = 1.0f - (zx + zy) / 2.0f;
            switch (style) {
            case TStyle::Shift: map.SetEntry(i, j, si, sj); break;
            case TStyle::Zoom: map.SetEntry(i, j, Lerp(cx, i, 1.0f - zx), Lerp(cy, j, 1.0f - zy)); break;
            case TStyle::Overlay: map.SetEntry(i, j, Lerp(cx, i, t), Lerp(cy, j, t)); break;
            case TStyle::Combined: map.SetEntry(i, j, Lerp(cx, si, t), Lerp(cy, sj, t)); break;
            }
        }
}

void FillRandom(TDIBRaster& raster, uint32_t seed)
{
    std::mt19937 random(seed);
    for (int64_t k = 0; k < raster.PixelCount(); ++k)
        raster.Bits()[k] = random();
}

bool SamePixels(const TDIBRaster& a, const TDIBRaster& b)
{
    return std::memcmp(a.Bits(), b.Bits(), size_t(a.PixelCount()) * sizeof(TPixel)) == 0;
}

struct TPath {
    bool mmx, now3d, avx2, avx512;
};
const TPath kPaths[] = {{false, false, false, false}, {true, false, false, false}, {false, true, false, false},
                        {true, false, true, false},   {false, true, true, false},  {true, false, true, true}};

// The map into dest, then dest smoothed back into source and faded, in one pass and in the
// separate steps, from the same pictures; both rasters must agree bit for bit.
void ExpectOnePassEqualsSteps(TTranslationMap& map, const std::string& what)
{
    const int32_t w = map.Width(), h = map.Height();
    TDIBRaster source(w, h), dest(w, h), stepSource(w, h), stepDest(w, h);
    TFastSmooth smooth;
    for (const TPath& path : kPaths) {
        if ((path.avx2 && !DetectedAVX2()) || (path.avx512 && !DetectedAVX512()))
            continue;
        ScopedCPUFeatures features(path.mmx, path.now3d, path.avx2, path.avx512);
        for (uint8_t level : {uint8_t(0), uint8_t(3), uint8_t(8)}) {
            FillRandom(source, uint32_t(w + h + level));
            FillRandom(dest, 99);
            std::memcpy(stepSource.Bits(), source.Bits(), size_t(source.PixelCount()) * sizeof(TPixel));
            map.Execute(stepSource, stepDest);
            smooth.ExecuteFaded(stepDest, stepSource, level);
            map.ExecuteAndSmoothBack(source, dest, level);
            const std::string context = what + " path " + std::to_string(path.mmx) + std::to_string(path.now3d) +
                                        std::to_string(path.avx2) + std::to_string(path.avx512) + " level " +
                                        std::to_string(level);
            ASSERT_TRUE(SamePixels(dest, stepDest)) << context;
            ASSERT_TRUE(SamePixels(source, stepSource)) << context;
        }
    }
}

} // namespace

TEST(MapTable, EveryStyleEqualsTheMapBuiltEntryByEntryAtEverySize)
{
    for (const TSize size : kSizes)
        for (const TParamsSet& params : ParamsFor(size))
            for (const TStyle style : kStyles) {
                TTranslationMap built(size.w, size.h), byEntries(size.w, size.h);
                const int32_t cx = size.w / 3, cy = size.h * 2 / 3;
                Build(built, style, params, cx, cy);
                BuildByEntries(byEntries, style, params, cx, cy);
                ASSERT_EQ(built.Entries(), byEntries.Entries())
                    << size.w << "x" << size.h << " style " << int(style) << " shift " << params.shift[0][0];
            }
}

TEST(MapTable, SetEntryAfterABuildChangesOnlyThatEntryAndTheMapStillApplies)
{
    TTranslationMap map(100, 62), reference(100, 62);
    const TParamsSet params = ParamsFor({100, 62})[0];
    map.BuildShiftMap(params.shift);
    BuildByEntries(reference, TStyle::Shift, params, 0, 0);
    map.SetEntry(7, 3, -2, 70);
    reference.SetEntry(7, 3, -2, 70);
    EXPECT_EQ(map.Entries(), reference.Entries());
    ExpectOnePassEqualsSteps(map, "after SetEntry");
}

TEST(MappedFrame, OnePassEqualsMapThenFadedSmoothingForEveryStyleSizeAndPath)
{
    for (const TSize size : kSizes)
        for (const TStyle style : kStyles) {
            TTranslationMap map(size.w, size.h);
            Build(map, style, ParamsFor(size)[0], size.w / 2, size.h / 2);
            ExpectOnePassEqualsSteps(map, std::to_string(size.w) + "x" + std::to_string(size.h) + " style " +
                                              std::to_string(int(style)));
        }
    TTranslationMap identity(98, 60);
    ExpectOnePassEqualsSteps(identity, "identity");
}

TEST(MappedFrame, ShiftThatReadsFurtherAheadThanTheWindowHoldsStillMatches)
{
    // Rows wait for their smoothing until no later row reads them; with a shift of a third
    // of the height that is longer than the window keeps rows of this width.
    TTranslationMap map(kTallLag.w, kTallLag.h);
    map.BuildShiftMap(Params(0.3f * float(kTallLag.h), 1.0f, 40.0f, 3.0f));
    ExpectOnePassEqualsSteps(map, "tall lag");
}

TEST(MappedFrame, RastersThatDoNotFitTheMapAreRefusedAndNothingIsWritten)
{
    TTranslationMap map(8, 8);
    TDIBRaster small(8, 8), other(8, 8), large(10, 8);
    EXPECT_THROW(map.ExecuteAndSmoothBack(small, small, 3), EGfxFilterException);
    EXPECT_THROW(map.ExecuteAndSmoothBack(large, other, 3), EGfxFilterException);
    small.FillRect({0, 0, 7, 7}, 0x00FFFFFF);
    EXPECT_THROW(map.ExecuteAndSmoothBack(small, large, 3), EGfxFilterException);
    EXPECT_EQ(small.GetPixel(3, 3), 0x00FFFFFFu);
}
