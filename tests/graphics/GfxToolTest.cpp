#include "graphics/GfxTool.h"
#include "util/CPUUtility.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

uint8_t Red(TPixel p) { return (p >> 16) & 0xFF; }
uint8_t Green(TPixel p) { return (p >> 8) & 0xFF; }
uint8_t Blue(TPixel p) { return p & 0xFF; }

void FillRandom(TDIBRaster& raster, unsigned seed)
{
    std::mt19937 rng(seed);
    for (int64_t i = 0; i < raster.PixelCount(); ++i)
        raster.Bits()[i] = rng();
}

} // namespace

TEST(DIBRaster, SizesAreMadeEvenAndMemoryIsCleared)
{
    TDIBRaster odd(5, 3);
    EXPECT_EQ(odd.Width(), 6);
    EXPECT_EQ(odd.Height(), 4);
    TDIBRaster even(640, 480);
    EXPECT_EQ(even.Width(), 640);
    EXPECT_EQ(even.Height(), 480);
    for (int64_t i = 0; i < even.PixelCount(); ++i)
        ASSERT_EQ(even.Bits()[i], 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(even.Bits()) % 16, 0u);
}

TEST(LargeArrays, AlignedForVectorsAndHugePagesAndWhollyUsable)
{
    constexpr size_t kHugePage = size_t(2) << 20;
    for (size_t bytes : {size_t(4), size_t(100000), kHugePage, 5 * kHugePage + 4}) {
        auto* block = static_cast<uint8_t*>(AllocateLargeArray(bytes));
        ASSERT_NE(block, nullptr) << bytes;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % (bytes >= kHugePage ? kHugePage : 64), 0u) << bytes;
        std::memset(block, 0xAB, bytes);
        FreeLargeArray(block);
    }
    EXPECT_EQ(AllocateLargeArray(SIZE_MAX - 8), nullptr); // the rounding would wrap
}

TEST(DIBRaster, AbsurdSizesAreRefusedClearly)
{
    EXPECT_THROW(TDIBRaster(-2, 10), EGraphicException);
    EXPECT_THROW(TDIBRaster(100000, 100000), EGraphicException);
    EXPECT_THROW(TDIBRaster(INT32_MAX, 2), EGraphicException);
    try {
        TDIBRaster(40000, 40000);
        FAIL();
    } catch (const EGraphicException& e) {
        EXPECT_NE(std::string(e.what()).find("TDIBRaster.Create : "), std::string::npos);
    }
    TDIBRaster empty(0, 0); // no pixels, and nothing may crash on it
    empty.Fade(3);
    empty.FillRect({0, 0, 5, 5}, 1);
    empty.ScrollLeft(0);
    empty.PlotStar(1, 1, 0xFFFFFF);
    empty.Canvas().TextOut(0, 0, "x");
}

TEST(DIBRaster, FadeLevelsOnBothPaths)
{
    for (bool packed : {false, true}) {
        ScopedCPUFeatures paths(packed, false);
        TDIBRaster r(2, 2);
        auto set = [&](TPixel p) { std::fill(r.Bits(), r.Bits() + 4, p); };
        set(0x00FF0180);
        r.Fade(1);
        EXPECT_EQ(Red(r.Bits()[0]), 127);
        EXPECT_EQ(Green(r.Bits()[0]), 0);
        EXPECT_EQ(Blue(r.Bits()[0]), 64);
        set(0x00FF0101);
        r.Fade(8);
        EXPECT_EQ(Red(r.Bits()[3]), 254);
        EXPECT_EQ(Green(r.Bits()[3]), 0);
        EXPECT_EQ(Blue(r.Bits()[3]), 0);
        set(0x00FFFFFF);
        r.Fade(0);
        EXPECT_EQ(r.Bits()[2] & 0xFFFFFF, 0u);
    }
}

TEST(DIBRaster, PackedFadeEqualsPlainFadeForEveryLevel)
{
    // 38 x 4 pixels: not a multiple of any vector width, so the tails are covered too. The
    // plain path clears the fourth byte, the packed ones fade it alike.
    for (uint8_t level = 0; level <= 8; ++level) {
        TDIBRaster plain(38, 4), packed(38, 4), wide(38, 4);
        for (TDIBRaster* raster : {&plain, &packed, &wide})
            FillRandom(*raster, level);
        auto fade = [level](TDIBRaster& raster, bool mmx, bool avx2) {
            ScopedCPUFeatures paths(mmx, false, avx2);
            raster.Fade(level);
        };
        fade(plain, false, false);
        fade(packed, true, false);
        for (int64_t i = 0; i < plain.PixelCount(); ++i)
            ASSERT_EQ(plain.Bits()[i] & 0xFFFFFF, packed.Bits()[i] & 0xFFFFFF) << "level " << int(level) << " pixel " << i;
        if (!DetectedAVX2())
            continue;
        fade(wide, true, true);
        ASSERT_EQ(0, std::memcmp(packed.Bits(), wide.Bits(), size_t(packed.PixelCount()) * sizeof(TPixel)))
            << "level " << int(level);
    }
}

TEST(DIBRaster, FadeTakes255CallsAtLevel8)
{
    TDIBRaster r(2, 2);
    r.Bits()[0] = 0xFFFFFF;
    for (int i = 0; i < 254; ++i)
        r.Fade(8);
    EXPECT_EQ(r.Bits()[0], 0x010101u);
    r.Fade(8);
    EXPECT_EQ(r.Bits()[0], 0u);
}

TEST(DIBRaster, PlotStarSaturatesAndSparesTheBorder)
{
    TDIBRaster r(10, 10);
    r.PlotStar(0, 5, 0xFF0000);
    r.PlotStar(9, 5, 0xFF0000);
    r.PlotStar(5, 0, 0xFF0000);
    r.PlotStar(5, 9, 0xFF0000);
    for (int64_t i = 0; i < r.PixelCount(); ++i)
        ASSERT_EQ(r.Bits()[i], 0u);

    r.Bits()[5 + 5 * 10] = 200 << 16;
    r.PlotStar(5, 5, 0xFF0000);
    EXPECT_EQ(Red(r.GetPixel(5, 5)), 255);
    for (auto [x, y] : {std::pair{4, 5}, {6, 5}, {5, 4}, {5, 6}})
        EXPECT_EQ(r.GetPixel(x, y), TPixel(63) << 16);
    EXPECT_EQ(r.GetPixel(4, 4), 0u);
}

TEST(DIBRaster, FillRectClampsToTheBorder)
{
    TDIBRaster r(100, 100);
    r.FillRect({-10, 5, -3, 8}, 7);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(r.GetPixel(x, y), (x == 0 && y >= 5 && y <= 8) ? 7u : 0u) << x << "," << y;
    r.FillRect({5, 5, 2, 2}, 9); // an inverted rectangle fills nothing
    EXPECT_EQ(r.GetPixel(3, 3), 0u);
}

TEST(DIBRaster, ScrollLeftKeepsTheTail)
{
    TDIBRaster r(6, 2);
    for (int i = 0; i < 12; ++i)
        r.Bits()[i] = TPixel(i);
    r.ScrollLeft(2);
    const TPixel expected[12] = {2, 3, 4, 5, 4, 5, 8, 9, 10, 11, 10, 11};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(r.Bits()[i], expected[i]);
}

TEST(PixelHelpers, ChannelArithmetic)
{
    EXPECT_EQ(ColorDistance(MakePixel(16, 32, 48), MakePixel(17, 34, 51)), 3);
    EXPECT_EQ(SwapRedBlue(255), 16711680u);
    EXPECT_EQ(SwapRedBlue(0xAB123456u), 0x00563412u);
    EXPECT_EQ(MakePixel(256, -1, 300), 0x0000FF2Cu);
    EXPECT_EQ(AddShifted(MakePixel(0, 0, 0), MakePixel(255, 128, 64), 1), MakePixel(127, 64, 32));
    EXPECT_EQ(AddShifted(MakePixel(254, 128, 64), MakePixel(255, 128, 64), 1), MakePixel(255, 192, 96));
    // No bit passes from one channel into the next.
    EXPECT_EQ(AddShifted(0, MakePixel(1, 1, 1), 1), 0u);
}

TEST(PixelHelpers, LerpMakeEvenAndRectangles)
{
    EXPECT_EQ(Lerp(10, 20, 0.55f), 15);
    EXPECT_EQ(Lerp(20, 10, 0.55f), 14);
    int32_t a = 5, b = -5;
    MakeEven(a, b);
    EXPECT_EQ(a, 6);
    EXPECT_EQ(b, -6);
    a = 4, b = 0;
    MakeEven(a, b);
    EXPECT_EQ(a, 4);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(RectWidth({0, 0, 9, 9}), 10);
    EXPECT_EQ(RectHeight({0, 3, 9, 9}), 7);
    TRect r{-5, 50, 500, -1};
    ClipRect(r, {0, 0, 99, 99});
    EXPECT_EQ(r.Left, 0);
    EXPECT_EQ(r.Top, 50);
    EXPECT_EQ(r.Right, 99);
    EXPECT_EQ(r.Bottom, 0);
}

TEST(Canvas, DrawsTextAndPicturesIntoThePixelMemory)
{
    TDIBRaster r(64, 32);
    TFont font;
    font.Height = -20;
    font.Color = 0x0000FF; // platform red
    r.Canvas().SetFont(font);
    r.Canvas().SetBrushStyle(TBrushStyle::bsClear);
    EXPECT_GT(r.Canvas().TextWidth("W"), 5);
    EXPECT_EQ(r.Canvas().TextWidth(U'W'), r.Canvas().TextWidth("W"));
    r.Canvas().TextOut(2, 2, "W");
    int redPixels = 0;
    for (int64_t i = 0; i < r.PixelCount(); ++i)
        redPixels += (r.Bits()[i] & 0xFFFFFF) == 0xFF0000;
    EXPECT_GT(redPixels, 10);

    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(QColor(1, 2, 3));
    r.Canvas().Draw(0, 0, picture);
    EXPECT_EQ(r.GetPixel(3, 3) & 0xFFFFFF, 0x010203u);

    r.Canvas().SetBrushStyle(TBrushStyle::bsSolid);
    r.Canvas().SetBrushColor(0x00FF00); // platform green is the same in both orders
    r.Canvas().FillRect({10, 10, 11, 11});
    EXPECT_EQ(r.GetPixel(11, 11) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(r.GetPixel(12, 12) & 0xFFFFFF, 0u);
}

TEST(Canvas, RasterFromGraphicAndDeviceCopies)
{
    QImage picture(5, 3, QImage::Format_RGB32);
    picture.fill(QColor(10, 20, 30));
    auto raster = RasterFromGraphic(picture);
    EXPECT_EQ(raster->Width(), 6);
    EXPECT_EQ(raster->Height(), 4);
    EXPECT_EQ(raster->GetPixel(4, 2) & 0xFFFFFF, 0x0A141Eu);
    EXPECT_EQ(raster->GetPixel(5, 3) & 0xFFFFFF, 0u);

    QImage screen(12, 8, QImage::Format_RGB32);
    screen.fill(Qt::black);
    {
        QPainter painter(&screen);
        raster->CopyToDevice(painter, 0, 0, 1, 1, 6, 4);
    }
    EXPECT_EQ(screen.pixel(1, 1) & 0xFFFFFF, 0x0A141Eu);
    EXPECT_EQ(screen.pixel(0, 0) & 0xFFFFFF, 0u);

    // Nearest-neighbour stretch: one source pixel becomes a 2 x 2 block, unblended.
    TDIBRaster checker(2, 2);
    checker.Bits()[0] = 0xFFFFFF;
    {
        QPainter painter(&screen);
        checker.StretchToDevice(painter, 0, 0, 2, 2, 0, 0, 4, 4, 3);
    }
    EXPECT_EQ(screen.pixel(1, 1) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(screen.pixel(2, 1) & 0xFFFFFF, 0u);
}
