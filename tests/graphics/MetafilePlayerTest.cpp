#include "graphics/ByteWriter.h"
#include "graphics/MetafileBuilders.h"
#include "graphics/MetafilePlayer.h"
#include "graphics/PictureLoader.h"

#include <QFile>
#include <QRect>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>
#include <random>

namespace {

uint32_t Rgb(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

int CountColor(const QImage& image, const QRect& area, uint32_t rgb)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += Rgb(image, x, y) == rgb;
    return count;
}

// Platform colour 0x00BBGGRR of 0xRRGGBB.
} // namespace

TEST(MetafilePlayer, WindowsMetafileShapesLinesAndTextLandWhereTheWindowMapsThem)
{
    const std::vector<uint8_t> bytes = ShapesAndText().Build(QRect(QPoint(0, 0), QPoint(2880, 1440)));
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/logo.WMF";
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    file.close();

    const QImage picture = LoadPicture(path);
    ASSERT_EQ(picture.size(), QSize(192, 96));
    EXPECT_EQ(Rgb(picture, 11, 11), 0xFF0000u);
    EXPECT_EQ(Rgb(picture, 58, 58), 0xFF0000u);
    EXPECT_EQ(Rgb(picture, 62, 30), 0u);
    EXPECT_EQ(Rgb(picture, 100, 80), 0x00FF00u);
    EXPECT_EQ(Rgb(picture, 100, 84), 0u);
    EXPECT_EQ(Rgb(picture, 155, 35), 0x0000FFu);
    EXPECT_EQ(Rgb(picture, 185, 35), 0u); // outside the ellipse's side
    EXPECT_EQ(Rgb(picture, 95, 92), 0u); // the polygon's corners: (70,90) (70,100) (100,100)
    EXPECT_EQ(Rgb(picture, 75, 94), 0x0000FFu);
    EXPECT_GT(CountColor(picture, QRect(70, 10, 40, 25), 0xFFFFFF), 20);
}

TEST(MetafilePlayer, ObjectTableTakesLowestFreeSlotAndSavedStatesComeBack)
{
    TWmfBuilder wmf;
    wmf.Add(0x020C, {40, 40})
        .Pen(5, 0, 0)           // 0
        .Brush(0xFF0000)        // 1
        .Add(0x00F7, {0x300, 0}) // 2: a palette takes a slot too
        .Brush(0x00FF00)        // 3
        .Add(0x01F0, {1})       // delete 1
        .Brush(0x0000FF)        // 1 again
        .Select(0)
        .Select(1)
        .Rectangle(0, 0, 20, 20)
        .Select(3)
        .Rectangle(20, 0, 40, 20)
        .Add(0x001E, {})        // SaveDC
        .Select(1)
        .Add(0x0127, {0xFFFF})  // RestoreDC(-1): green again
        .Rectangle(0, 20, 20, 40)
        .Select(2)              // the palette changes no brush
        .Select(7)              // an empty slot neither
        .Rectangle(20, 20, 40, 40);
    const QImage picture = PlayMetafile(wmf.Build());
    ASSERT_EQ(picture.size(), QSize(40, 40)); // no placeable header: the window extent
    EXPECT_EQ(Rgb(picture, 10, 10), 0x0000FFu);
    EXPECT_EQ(Rgb(picture, 30, 10), 0x00FF00u);
    EXPECT_EQ(Rgb(picture, 10, 30), 0x00FF00u);
    EXPECT_EQ(Rgb(picture, 30, 30), 0x00FF00u);
}

TEST(MetafilePlayer, EmbeddedBitmapsAreStretchedUpright)
{
    // 2 x 2 pixels: red, green over blue, white; stretched onto 40 x 40 units.
    const std::vector<uint8_t> dib = MakeDib24({{0xFF0000, 0x00FF00}, {0x0000FF, 0xFFFFFF}});
    std::vector<uint16_t> words = {0x0020, 0x00CC, 0, 2, 2, 0, 0, 40, 40, 0, 0}; // StretchDIB, SRCCOPY
    for (size_t i = 0; i < dib.size(); i += 2)
        words.push_back(uint16_t(dib[i] | dib[i + 1] << 8));
    TWmfBuilder wmf;
    wmf.Add(0x020C, {40, 40}).Add(0x0F43, words);
    const QImage picture = PlayMetafile(wmf.Build());
    EXPECT_EQ(Rgb(picture, 5, 5), 0xFF0000u);
    EXPECT_EQ(Rgb(picture, 35, 5), 0x00FF00u);
    EXPECT_EQ(Rgb(picture, 5, 35), 0x0000FFu);
    EXPECT_EQ(Rgb(picture, 35, 35), 0xFFFFFFu);
}

TEST(MetafilePlayer, EnhancedMetafilePolygonTextAndWidePenInTheFrame)
{
    TEmfBuilder emf;
    emf.Add(39, {1, 0, ColorRef(0x00FF00), 0})  // CreateBrushIndirect 1: green
        .Add(37, {1})                           // SelectObject
        .Add(37, {0x80000008})                  // NULL_PEN
        .Polygon16({{10, 10}, {90, 10}, {10, 40}})
        .Add(17, {8})                           // SetMapMode anisotropic
        .Add(9, {1000, 500})                    // window 1000 x 500 ...
        .Add(11, {96, 48})                      // ... onto the whole picture
        .Add(37, {0x80000000})                  // WHITE_BRUSH
        .Add(43, {500, 250, 1000, 500})         // Rectangle: bottom-right quarter
        .Add(17, {1})                           // back to device units
        .Add(24, {ColorRef(0xFFFF00)})          // SetTextColor
        .Add(18, {1})                           // transparent
        .Text(60, 2, u"EMF")
        .Add(17, {8})                           // fine logical units: 1 pixel is 10417 of them
        .Add(9, {1000000, 500000})
        .Add(38, {9, 0, 200000, 0, ColorRef(0xFF00FF)}) // a pen of 19 pixels
        .Add(37, {9})
        .Add(27, {300000, 450000})              // MoveToEx: pixel (29, 43)
        .Add(54, {450000, 450000});             // LineTo: pixel (43, 43)
    const QImage picture = PlayMetafile(emf.Build(QRect(QPoint(0, 0), QPoint(2540, 1270))));
    ASSERT_EQ(picture.size(), QSize(96, 48));
    EXPECT_EQ(Rgb(picture, 20, 15), 0x00FF00u);
    EXPECT_EQ(Rgb(picture, 80, 35), 0xFFFFFFu);
    EXPECT_EQ(Rgb(picture, 5, 45), 0u);
    EXPECT_EQ(Rgb(picture, 80, 20), 0u);
    EXPECT_GT(CountColor(picture, QRect(60, 0, 36, 20), 0xFFFF00), 10);
    EXPECT_EQ(Rgb(picture, 36, 43), 0xFF00FFu);
    EXPECT_EQ(Rgb(picture, 36, 36), 0xFF00FFu);
}

TEST(MetafilePlayer, DamagedMetafilesRaiseAndNeverReadOutside)
{
    const std::vector<uint8_t> wmf = ShapesAndText().Build(QRect(QPoint(0, 0), QPoint(2880, 1440)));
    TEmfBuilder emfBuilder;
    emfBuilder.Add(39, {1, 0, 0xFF, 0}).Add(37, {1}).Polygon16({{1, 1}, {50, 1}, {1, 30}}).Text(0, 0, u"x");
    const std::vector<uint8_t> emf = emfBuilder.Build(QRect(QPoint(0, 0), QPoint(2540, 1270)));

    std::mt19937 random(11);
    std::vector<uint8_t> garbage(2048);
    for (auto& b : garbage)
        b = uint8_t(random());
    EXPECT_THROW(PlayMetafile(garbage), EMetafileError);
    EXPECT_THROW(PlayMetafile({}), EMetafileError);
    for (const auto& valid : {wmf, emf}) {
        const std::vector<uint8_t> truncated(valid.begin(), valid.begin() + valid.size() / 2);
        EXPECT_THROW(PlayMetafile(truncated), EMetafileError);
    }

    // A polygon of 1000 points with two given, and a record longer than the file.
    EXPECT_THROW(PlayMetafile(TWmfBuilder().Add(0x020C, {10, 10}).Add(0x0324, {1000, 1, 1, 5, 5}).Build()),
                 EMetafileError);
    std::vector<uint8_t> longRecord = TWmfBuilder().Add(0x020C, {10, 10}).Build();
    TByteWriter patch{longRecord};
    patch.PatchU32(18, 0x7FFFFFFF);
    EXPECT_THROW(PlayMetafile(patch.Bytes), EMetafileError);
    // Declared sizes beyond the bounds, refused before the picture is made.
    EXPECT_THROW(PlayMetafile(TWmfBuilder().Build(QRect(QPoint(-32000, -32000), QPoint(32000, 32000)), 10)),
                 EMetafileError);
    EXPECT_THROW(PlayMetafile(TWmfBuilder().Add(0x020C, {0, 5}).Build()), EMetafileError);
    EXPECT_THROW(PlayMetafile(TEmfBuilder().Build(QRect(QPoint(0, 0), QPoint(2000000000, 10000)))), EMetafileError);

    // Flipped bytes anywhere: a picture or the exception, never a crash.
    for (const auto& valid : {wmf, emf}) {
        for (int round = 0; round < 300; ++round) {
            std::vector<uint8_t> damaged = valid;
            for (int i = 0; i < 3; ++i)
                damaged[random() % damaged.size()] = uint8_t(random());
            try {
                PlayMetafile(damaged);
            } catch (const EPictureError&) {
            }
        }
    }
}
