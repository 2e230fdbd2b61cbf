#include "graphics/GfxFilters.h"

#include "util/CPUUtility.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <random>

namespace {

// Every pixel tells its own position: red = x, green = y.
void FillWithPositions(TDIBRaster& raster)
{
    for (int32_t y = 0; y < raster.Height(); ++y)
        for (int32_t x = 0; x < raster.Width(); ++x)
            raster.Bits()[x + y * raster.Width()] = MakePixel(x, y, 0);
}

void FillRandom(TDIBRaster& raster, uint32_t seed)
{
    std::mt19937 random(seed);
    for (int64_t k = 0; k < raster.PixelCount(); ++k)
        raster.Bits()[k] = random();
}

int32_t Channel(TPixel p, int byte) { return int32_t((p >> (8 * byte)) & 0xFF); }

bool IsIdentity(const TTranslationMap& map)
{
    const std::vector<int32_t> entries = map.Entries();
    for (size_t k = 0; k < entries.size(); ++k)
        if (entries[k] != int32_t(k))
            return false;
    return true;
}

int32_t EntryAt(const TTranslationMap& map, int32_t x, int32_t y) { return map.Entries()[size_t(x + y * map.Width())]; }

// The first X (or Y) sine alone.
TSinMagicParams OneSine(TSinMagicRow amplitudeRow, float amplitude, float frequency)
{
    TSinMagicParams params{};
    params[amplitudeRow][0] = amplitude;
    params[amplitudeRow + 1][0] = frequency;
    return params;
}

} // namespace

TEST(GfxFiltersTranslationMap, ReflectAndSetEntryMirrorAtBothEdges)
{
    EXPECT_EQ(Reflect(-3, 0, 99), 3);
    EXPECT_EQ(Reflect(101, 0, 99), 97);
    EXPECT_EQ(Reflect(99, 0, 99), 99);
    EXPECT_EQ(Reflect(-100, 0, 99), 1); // far beyond, the distance is taken modulo hi - lo
    EXPECT_EQ(Reflect(200, 0, 99), 97);
    for (int32_t v : {INT32_MIN, INT32_MAX})
        EXPECT_TRUE(Reflect(v, 0, 99) >= 0 && Reflect(v, 0, 99) <= 99) << v;
    EXPECT_EQ(Reflect(5, 0, 0), 0); // an empty range has one answer

    TTranslationMap map(100, 60);
    map.SetEntry(1, 2, -3, 61);
    EXPECT_EQ(EntryAt(map, 1, 2), 3 + 57 * 100);
    map.SetEntry(99, 59, 101, -2);
    EXPECT_EQ(EntryAt(map, 99, 59), 97 + 2 * 100);
    EXPECT_THROW(map.SetEntry(100, 0, 0, 0), EGfxFilterException);
    EXPECT_THROW(map.SetEntry(0, -1, 0, 0), EGfxFilterException);
}

TEST(GfxFiltersTranslationMap, NewAndNeutralMapsAreTheIdentity)
{
    TTranslationMap map(5, 3); // made even
    EXPECT_EQ(map.Width(), 6);
    EXPECT_EQ(map.Height(), 4);
    TDIBRaster source(6, 4), dest(6, 4);
    FillRandom(source, 1);
    map.Execute(source, dest);
    EXPECT_EQ(0, std::memcmp(source.Bits(), dest.Bits(), size_t(source.PixelCount()) * sizeof(TPixel)));

    TTranslationMap big(100, 80);
    big.BuildShiftMap({});
    EXPECT_TRUE(IsIdentity(big));
    big.BuildZoomMap({}, 50, 40, false);
    EXPECT_TRUE(IsIdentity(big));
    big.BuildZoomMap({}, 10, 70, true);
    EXPECT_TRUE(IsIdentity(big));
    big.BuildCombinedMap({}, {}, 50, 40);
    EXPECT_TRUE(IsIdentity(big));
}

TEST(GfxFiltersTranslationMap, ShiftMapMovesColumnsVerticallyAndRowsHorizontally)
{
    TTranslationMap map(100, 100);
    map.BuildShiftMap(OneSine(smrAmplitudesX, 10.5f, 1.0f));
    EXPECT_EQ(EntryAt(map, 25, 50), 25 + 60 * 100); // DX[25] = 10
    EXPECT_EQ(EntryAt(map, 25, 95), 25 + 93 * 100); // 105 mirrored at the bottom
    EXPECT_EQ(EntryAt(map, 75, 50), 75 + 40 * 100); // DX[75] = -10
    EXPECT_EQ(EntryAt(map, 75, 5), 75 + 5 * 100);   // -5 mirrored at the top
    EXPECT_EQ(EntryAt(map, 0, 37), 0 + 37 * 100);

    TDIBRaster source(100, 100), dest(100, 100);
    FillWithPositions(source);
    map.Execute(source, dest);
    EXPECT_EQ(dest.GetPixel(25, 30), MakePixel(25, 40, 0));

    map.BuildShiftMap(OneSine(smrAmplitudesY, 10.5f, 1.0f));
    EXPECT_EQ(EntryAt(map, 50, 25), 60 + 25 * 100);
    EXPECT_EQ(EntryAt(map, 95, 25), 93 + 25 * 100);
    EXPECT_EQ(EntryAt(map, 5, 75), 5 + 75 * 100);
}

TEST(GfxFiltersTranslationMap, ZoomAndCombinedMapsMoveTowardsTheCentre)
{
    const TSinMagicParams zoom = OneSine(smrAmplitudesX, 0.25f, 0.0f); // a constant quarter
    TTranslationMap map(100, 60);
    // Column i from trunc((i - 50) * 0.75 + 50), rows unchanged.
    map.BuildZoomMap(zoom, 50, 30, false);
    EXPECT_EQ(EntryAt(map, 0, 0), 12);
    EXPECT_EQ(EntryAt(map, 10, 7), 20 + 7 * 100);
    EXPECT_EQ(EntryAt(map, 99, 20), 86 + 20 * 100);
    // Overlay: both axes by 1 - (0.25 + 0) / 2 = 0.875.
    map.BuildZoomMap(zoom, 50, 30, true);
    EXPECT_EQ(EntryAt(map, 0, 0), 6 + 3 * 100);
    EXPECT_EQ(EntryAt(map, 99, 59), 92 + 55 * 100);

    // The combined map is the shift map seen through the overlay zoom.
    const TSinMagicParams shift = OneSine(smrAmplitudesX, 10.5f, 1.0f);
    TTranslationMap combined(100, 100), single(100, 100);
    combined.BuildCombinedMap(shift, {}, 50, 50);
    single.BuildShiftMap(shift);
    EXPECT_TRUE(std::ranges::equal(combined.Entries(), single.Entries()));
    combined.BuildCombinedMap({}, zoom, 40, 60);
    single.BuildZoomMap(zoom, 40, 60, true);
    EXPECT_TRUE(std::ranges::equal(combined.Entries(), single.Entries()));
    combined.BuildCombinedMap(shift, zoom, 50, 50);
    EXPECT_EQ(EntryAt(combined, 25, 0), 28 + 15 * 100); // (25, 10) moved 0.875 of the way out
}

TEST(GfxFiltersTranslationMap, AbsurdParametersAndSizesNeverLeaveTheMap)
{
    TTranslationMap map(64, 48);
    TDIBRaster source(64, 48), dest(64, 48);
    const float inf = std::numeric_limits<float>::infinity();
    auto inside = [&] { return std::ranges::all_of(map.Entries(), [](int32_t e) { return e >= 0 && e < 64 * 48; }); };
    for (float value : {std::numeric_limits<float>::quiet_NaN(), inf, -inf, 1e30f, -3e9f, 7e5f}) {
        TSinMagicParams params;
        for (auto& row : params)
            row.fill(value);
        params[smrFrequenciesY][1] = 1.0f;
        for (int32_t centre : {INT32_MIN, 1000, INT32_MAX}) {
            map.BuildShiftMap(params);
            EXPECT_TRUE(inside()) << value << " " << centre;
            map.BuildZoomMap(params, centre, centre, false);
            EXPECT_TRUE(inside()) << value << " " << centre;
            map.BuildCombinedMap(params, params, centre, -centre - 1);
            EXPECT_TRUE(inside()) << value << " " << centre;
            map.Execute(source, dest);
        }
    }
    TTranslationMap empty(0, 0);
    empty.BuildCombinedMap(OneSine(smrAmplitudesX, 3.0f, 1.0f), {}, 0, 0);
    TDIBRaster none1(0, 0), none2(0, 0);
    EXPECT_NO_THROW(empty.Execute(none1, none2));
    EXPECT_THROW(TTranslationMap(-4, 10), EGfxFilterException);
    EXPECT_THROW(TTranslationMap(40000, 2), EGfxFilterException);
}

TEST(GfxFiltersRefusal, SameRasterOtherSizesAndMissingRastersAreRefused)
{
    TDIBRaster raster(20, 10), other(20, 10), smaller(20, 8), wider(22, 10), wider2(22, 10);
    TTranslationMap map(20, 10);
    TFastSmooth smooth;
    TRefractionMap refraction(20, 10);
    TWaterize water(20, 10);
    for (TMonadicFilter* filter : std::initializer_list<TMonadicFilter*>{&map, &smooth, &refraction, &water}) {
        EXPECT_THROW(filter->Apply(), EGfxFilterException);
        EXPECT_THROW(filter->Execute(raster, raster), EGfxFilterException);
        EXPECT_THROW(filter->Execute(raster, smaller), EGfxFilterException);
        EXPECT_THROW(filter->Execute(wider, raster), EGfxFilterException);
        EXPECT_NO_THROW(filter->Execute(raster, other));
    }
    EXPECT_THROW(map.Execute(wider, wider2), EGfxFilterException); // not the map's size
    EXPECT_NO_THROW(smooth.Execute(wider, wider2));
    EXPECT_EQ(smooth.Width(), 22);
    try {
        map.Execute(raster, raster);
    } catch (const EGfxFilterException& e) {
        EXPECT_EQ(e.Message(), "TTranslationMap.Apply : Source and destination are the same raster");
    }
}

TEST(GfxFiltersFastSmooth, NeighboursAveragedOnEveryPathBorderRowsBlackRowsJoined)
{
    struct Path {
        bool mmx, now3d;
    };
    for (Path path : {Path{false, false}, Path{true, false}, Path{false, true}}) {
        SCOPED_TRACE(std::to_string(path.mmx) + std::to_string(path.now3d));
        ScopedCPUFeatures features(path.mmx, path.now3d);
        const int32_t spread = path.now3d ? 64 : 63; // avg(avg(255, 0), avg(0, 0)) rounds up
        TDIBRaster source(16, 10), dest(16, 10);
        source.Bits()[7 + 4 * 16] = 0x00FFFFFF;
        source.Bits()[15 + 6 * 16] = 0x00FFFFFF; // last of its row: left of the next row's first
        source.FillRect({0, 0, 15, 0}, 0x00FFFFFF);
        source.FillRect({0, 9, 15, 9}, 0x00FFFFFF);
        TFastSmooth().Execute(source, dest);
        for (auto [x, y] : {std::pair{6, 4}, {8, 4}, {7, 3}, {7, 5}, {0, 7}, {14, 6}})
            for (int byte = 0; byte < 3; ++byte)
                EXPECT_EQ(Channel(dest.GetPixel(x, y), byte), spread) << x << "," << y;
        EXPECT_EQ(dest.GetPixel(7, 4), 0u);
        EXPECT_EQ(dest.GetPixel(5, 4), 0u);
        for (int32_t x = 0; x < 16; ++x)
            EXPECT_TRUE(dest.GetPixel(x, 0) == 0 && dest.GetPixel(x, 9) == 0) << x;
    }
}

TEST(GfxFiltersFastSmooth, PackedMeanEqualsPlainBitForBitAndAverageIsAtMostOneAbove)
{
    // Widths that are not multiples of the vector widths, and a raster of several fade blocks.
    for (auto [w, h] : {std::pair{64, 32}, {34, 10}, {6, 4}, {2, 2}, {130, 70}}) {
        TDIBRaster source(w, h), plain(w, h), packed(w, h), average(w, h), packedAVX2(w, h), averageAVX2(w, h);
        FillRandom(source, uint32_t(w * 1000 + h));
        auto smooth = [&](bool mmx, bool now3d, bool avx2, TDIBRaster& dest) {
            ScopedCPUFeatures features(mmx, now3d, avx2);
            TFastSmooth().Execute(source, dest);
        };
        auto same = [&](const TDIBRaster& a, const TDIBRaster& b) {
            return std::memcmp(a.Bits(), b.Bits(), size_t(source.PixelCount()) * sizeof(TPixel)) == 0;
        };
        smooth(false, false, false, plain);
        smooth(true, false, false, packed);
        smooth(false, true, false, average);
        ASSERT_TRUE(same(plain, packed)) << w;
        for (int64_t k = 0; k < source.PixelCount(); ++k)
            for (int byte = 0; byte < 4; ++byte) {
                const int32_t excess = Channel(average.Bits()[k], byte) - Channel(plain.Bits()[k], byte);
                ASSERT_TRUE(excess == 0 || excess == 1) << w << " pixel " << k << " byte " << byte;
            }
        if (!DetectedAVX2())
            continue;
        smooth(true, false, true, packedAVX2);
        smooth(false, true, true, averageAVX2);
        ASSERT_TRUE(same(plain, packedAVX2)) << w;
        ASSERT_TRUE(same(average, averageAVX2)) << w;
    }
}

TEST(GfxFiltersFastSmooth, FadedSmoothingEqualsSmoothingThenFadeOnEveryPath)
{
    struct Path {
        bool mmx, now3d, avx2;
    };
    const Path paths[] = {{false, false, false}, {true, false, false}, {false, true, false},
                          {true, true, false},   {true, false, true},  {false, true, true}};
    // The large raster is streamed past the caches on the AVX2 paths; its odd width leaves
    // rows that start anywhere in a vector.
    for (auto [w, h] : {std::pair{130, 70}, {34, 10}, {2, 2}, {2049, 2051}})
        for (Path path : paths)
            for (uint8_t level : {0, 1, 3, 8, 200}) {
                if ((path.avx2 && !DetectedAVX2()) || (w > 1000 && (!path.avx2 || (level != 3 && level != 200))))
                    continue;
                ScopedCPUFeatures features(path.mmx, path.now3d, path.avx2);
                TDIBRaster source(w, h), separate(w, h), fused(w, h);
                FillRandom(source, uint32_t(level) + 1);
                FillRandom(fused, 99); // every destination pixel is written
                TFastSmooth smooth;
                smooth.Execute(source, separate);
                separate.Fade(level);
                smooth.ExecuteFaded(source, fused, level);
                ASSERT_EQ(0, std::memcmp(separate.Bits(), fused.Bits(), size_t(source.PixelCount()) * sizeof(TPixel)))
                    << w << " " << path.mmx << path.now3d << path.avx2 << " level " << int(level);
            }
    TDIBRaster raster(4, 4);
    EXPECT_THROW(TFastSmooth().ExecuteFaded(raster, raster, 1), EGfxFilterException);
}

TEST(GfxFiltersRefraction, DisplacementTableStaysInOneByte)
{
    TRefractionMap map(4, 4);
    map.SetRefractionIndex(2.0f);
    EXPECT_EQ(map.RefractionIndex(), 2.0f);
    EXPECT_EQ(map.Displacement(0), 0);
    EXPECT_EQ(map.Displacement(40), 5);
    EXPECT_EQ(map.Displacement(400), 57);
    EXPECT_EQ(map.Displacement(-40), 5);
    EXPECT_EQ(map.Displacement(1767), 254);
    EXPECT_EQ(map.Displacement(2044), 39); // 295 wraps at the byte
    for (float n : {0.0f, -1.5f, std::numeric_limits<float>::quiet_NaN()}) {
        map.SetRefractionIndex(n);
        for (int32_t d = -2048; d < 2048; ++d)
            ASSERT_TRUE(map.Displacement(d) >= 0 && map.Displacement(d) <= 255) << n << " " << d;
    }
}

TEST(GfxFiltersRefraction, EqualHeightsCopyAndSlopesDisplace)
{
    TRefractionMap map(20, 10);
    map.SetRefractionIndex(2.0f);
    TDIBRaster source(20, 10), dest(20, 10);
    FillWithPositions(source);
    const TPixel untouched = 0x00ABCDEF;
    dest.FillRect({0, 0, 19, 9}, untouched);
    map.FillHeights(0, 0, 20, 10, 300);
    map.Execute(source, dest);
    EXPECT_EQ(0, std::memcmp(source.Bits(), dest.Bits(), (20 * 9 - 1) * sizeof(TPixel)));
    EXPECT_EQ(dest.GetPixel(19, 8), untouched); // the last row and the pixel before it stay
    EXPECT_EQ(dest.GetPixel(4, 9), untouched);

    // A step of 40 to the right shows the pixel 5 columns on; a step of 40 down, 5 rows on.
    map.FillHeights(0, 0, 20, 10, 0);
    map.FillHeights(4, 0, 16, 10, 40);
    map.FillHeights(10, 1, 1, 1, 0);
    map.Execute(source, dest);
    EXPECT_EQ(dest.GetPixel(3, 2), source.GetPixel(8, 2));
    EXPECT_EQ(dest.GetPixel(10, 1), source.GetPixel(15, 6));
    // A drop of 400 below row 0 points 57 rows up, off the raster: the pixel keeps its value.
    dest.FillRect({0, 0, 19, 9}, untouched);
    map.FillHeights(0, 0, 20, 10, 0);
    map.FillHeights(0, 1, 20, 9, -400);
    map.Execute(source, dest);
    EXPECT_EQ(dest.GetPixel(6, 0), untouched);
}

TEST(GfxFiltersRefraction, SineWaveSparesTheBorderAndHeightsWrapAndClip)
{
    TRefractionMap map(100, 6);
    map.AddSineWave(1000.0f, 0.0f, 1.0f);
    const auto heights = map.Heights();
    EXPECT_EQ(heights[25 + 1 * 100], 1000);
    EXPECT_EQ(heights[75 + 4 * 100], -1000);
    EXPECT_EQ(heights[50 + 2 * 100], 0);
    for (int32_t x = 0; x < 100; ++x)
        EXPECT_TRUE(heights[x] == 0 && heights[x + 5 * 100] == 0) << x;
    for (int32_t y = 0; y < 6; ++y)
        EXPECT_TRUE(heights[y * 100] == 0 && heights[99 + y * 100] == 0) << y;
    map.FillHeights(25, 1, 1, 1, 32000);
    map.AddSineWave(1000.0f, 0.0f, 1.0f);
    EXPECT_EQ(heights[25 + 1 * 100], int16_t(32000 + 1000 - 65536));
    TRefractionMap shifted(100, 6);
    shifted.AddSineWave(1000.0f, 9000.0f, 1.0f); // the phase counts like i·360: 25 columns on
    EXPECT_EQ(shifted.Heights()[50 + 2 * 100], -1000);

    TRefractionMap small(10, 8);
    small.FillHeights(-2, 6, 5, 10, 7);
    small.FillHeights(INT32_MAX - 1, INT32_MIN, INT32_MAX, INT32_MAX, 9);
    EXPECT_EQ(std::ranges::count(small.Heights(), 7), 3 * 2);
    EXPECT_EQ(small.Heights()[2 + 7 * 10], 7);
    EXPECT_EQ(std::ranges::count(small.Heights(), 0), 80 - 6);
}

TEST(GfxFiltersWaterize, FlatWaterStaysFlatAndRaisedBlockSpreadsIntoDecayingRings)
{
    constexpr int32_t w = 64, h = 64;
    TWaterize water(w, h);
    TDIBRaster source(w, h), dest(w, h);
    FillWithPositions(source);
    auto pictureChanged = [&] {
        return std::memcmp(source.Bits(), dest.Bits(), size_t(w * (h - 1) - 1) * sizeof(TPixel)) != 0;
    };
    for (int step = 0; step < 5; ++step)
        water.Execute(source, dest);
    EXPECT_TRUE(std::ranges::all_of(water.CurrentHeights().Heights(), [](int16_t v) { return v == 0; }));
    EXPECT_FALSE(pictureChanged());

    water.CurrentHeights().FillHeights(31, 31, 3, 3, 1600);
    water.Execute(source, dest);
    EXPECT_FALSE(pictureChanged()); // seen two steps later
    water.Execute(source, dest);
    EXPECT_TRUE(pictureChanged());

    for (int step = 0; step < 8; ++step)
        water.Execute(source, dest);
    auto at = [&](int32_t x, int32_t y) { return water.CurrentHeights().Heights()[size_t(x + y * w)]; };
    EXPECT_NE(at(38, 32), 0);
    EXPECT_NE(at(32, 26), 0);
    EXPECT_EQ(at(2, 2), 0);
    auto peak = [&] {
        int32_t highest = 0;
        for (int16_t v : water.CurrentHeights().Heights())
            highest = std::max(highest, std::abs(int32_t(v)));
        return highest;
    };
    const int32_t early = peak();
    for (int step = 0; step < 100; ++step)
        water.Execute(source, dest);
    EXPECT_GT(early, 0);
    EXPECT_LT(peak(), early / 10);
}
