#include "graphics/ByteWriter.h"
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
uint32_t ColorRef(uint32_t rgb) { return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF); }

class TWmfBuilder {
public:
    // Parameters as the file stores them (last argument first).
    TWmfBuilder& Add(uint16_t function, std::vector<uint16_t> words)
    {
        records_.push_back({function, std::move(words)});
        return *this;
    }
    TWmfBuilder& Brush(uint32_t rgb) { return Add(0x02FC, {0, Lo(ColorRef(rgb)), Hi(ColorRef(rgb)), 0}); }
    TWmfBuilder& Pen(uint16_t style, int16_t width, uint32_t rgb)
    {
        return Add(0x02FA, {style, uint16_t(width), 0, Lo(ColorRef(rgb)), Hi(ColorRef(rgb))});
    }
    TWmfBuilder& Font(int16_t height)
    {
        std::vector<uint16_t> words = {uint16_t(height), 0, 0, 0, 700, 0, 0, 0, 0};
        const char face[] = "Arial";
        for (size_t i = 0; i < sizeof face; i += 2)
            words.push_back(uint16_t(face[i] | (i + 1 < sizeof face ? face[i + 1] << 8 : 0)));
        return Add(0x02FB, words);
    }
    TWmfBuilder& Select(uint16_t index) { return Add(0x012D, {index}); }
    TWmfBuilder& Rectangle(int16_t l, int16_t t, int16_t r, int16_t b)
    {
        return Add(0x041B, {uint16_t(b), uint16_t(r), uint16_t(t), uint16_t(l)});
    }
    TWmfBuilder& TextOut(int16_t x, int16_t y, const std::string& text)
    {
        std::vector<uint16_t> words = {uint16_t(text.size())};
        for (size_t i = 0; i < text.size(); i += 2)
            words.push_back(uint16_t(uint8_t(text[i]) | (i + 1 < text.size() ? uint8_t(text[i + 1]) << 8 : 0)));
        words.push_back(uint16_t(y));
        words.push_back(uint16_t(x));
        return Add(0x0521, words);
    }

    std::vector<uint8_t> Build(std::optional<QRect> boundingBox = std::nullopt, uint16_t unitsPerInch = 1440) const
    {
        TByteWriter w;
        if (boundingBox) {
            const uint16_t words[] = {0xCDD7, 0x9AC6, 0, uint16_t(boundingBox->left()), uint16_t(boundingBox->top()),
                                      uint16_t(boundingBox->right()), uint16_t(boundingBox->bottom()), unitsPerInch,
                                      0, 0};
            uint16_t checksum = 0;
            for (uint16_t word : words) {
                w.U16(word);
                checksum ^= word;
            }
            w.U16(checksum);
        }
        uint32_t total = 9 + 3;
        for (const auto& record : records_)
            total += 3 + uint32_t(record.second.size());
        w.U16(1);
        w.U16(9);
        w.U16(0x0300);
        w.U32(total);
        w.U16(16);
        w.U32(64);
        w.U16(0);
        for (const auto& [function, words] : records_) {
            w.U32(3 + uint32_t(words.size()));
            w.U16(function);
            for (uint16_t word : words)
                w.U16(word);
        }
        w.U32(3);
        w.U16(0);
        return w.Bytes;
    }

    static uint16_t Lo(uint32_t v) { return uint16_t(v & 0xFFFF); }
    static uint16_t Hi(uint32_t v) { return uint16_t(v >> 16); }

private:
    std::vector<std::pair<uint16_t, std::vector<uint16_t>>> records_;
};

class TEmfBuilder {
public:
    TEmfBuilder& Add(uint32_t type, std::vector<uint32_t> words)
    {
        records_.push_back({type, std::move(words)});
        return *this;
    }
    TEmfBuilder& Polygon16(const std::vector<QPoint>& points)
    {
        std::vector<uint32_t> words = {0, 0, 0, 0, uint32_t(points.size())};
        for (const QPoint& p : points)
            words.push_back(uint32_t(uint16_t(p.x())) | uint32_t(uint16_t(p.y())) << 16);
        return Add(86, words);
    }
    TEmfBuilder& Text(int32_t x, int32_t y, const std::u16string& text)
    {
        constexpr uint32_t kStringOffset = 76;
        std::vector<uint32_t> words = {0, 0, 0, 0, 1, 0, 0, uint32_t(x), uint32_t(y), uint32_t(text.size()),
                                       kStringOffset, 0, 0, 0, 0, 0, 0};
        for (size_t i = 0; i < text.size(); i += 2)
            words.push_back(uint32_t(text[i]) | (i + 1 < text.size() ? uint32_t(text[i + 1]) << 16 : 0));
        return Add(84, words);
    }

    // `frame` in hundredths of a millimetre; a device of 96 pixels per inch.
    std::vector<uint8_t> Build(const QRect& frame, const QRect& bounds = QRect(0, 0, 1, 1)) const
    {
        uint32_t total = 88 + 20;
        for (const auto& record : records_)
            total += 8 + 4 * uint32_t(record.second.size());
        TByteWriter w;
        for (uint32_t v : {1u, 88u, uint32_t(bounds.left()), uint32_t(bounds.top()), uint32_t(bounds.right()),
                           uint32_t(bounds.bottom()), uint32_t(frame.left()), uint32_t(frame.top()),
                           uint32_t(frame.right()), uint32_t(frame.bottom()), 0x464D4520u, 0x10000u, total,
                           uint32_t(records_.size() + 2), 16u, 0u, 0u, 0u, 960u, 480u, 254u, 127u})
            w.U32(v);
        for (const auto& [type, words] : records_) {
            w.U32(type);
            w.U32(8 + 4 * uint32_t(words.size()));
            for (uint32_t word : words)
                w.U32(word);
        }
        for (uint32_t v : {14u, 20u, 0u, 0u, 20u})
            w.U32(v);
        return w.Bytes;
    }

private:
    std::vector<std::pair<uint32_t, std::vector<uint32_t>>> records_;
};

// One inch of 1440 units is 96 pixels: 15 units a pixel.
TWmfBuilder ShapesAndText()
{
    TWmfBuilder wmf;
    wmf.Add(0x020B, {0, 0})            // SetWindowOrg
        .Add(0x020C, {1440, 2880})     // SetWindowExt 2880 x 1440
        .Brush(0xFF0000)               // 0
        .Pen(5, 0, 0)                  // 1: null pen
        .Select(0)
        .Select(1)
        .Rectangle(150, 150, 900, 900) // pixels 10 .. 59
        .Pen(0, 30, 0x00FF00)          // 2: two pixels wide
        .Select(2)
        .Add(0x0214, {1200, 150})      // MoveTo (150, 1200)
        .Add(0x0213, {1200, 2700})     // LineTo (2700, 1200): row 80
        .Brush(0x0000FF)               // 3
        .Select(3)
        .Pen(5, 0, 0)                  // 4
        .Select(4)
        .Add(0x0418, {900, 2700, 150, 1950}) // Ellipse, centre pixel (155, 35)
        .Add(0x0324, {3, 1050, 1350, 1050, 1500, 1500, 1500}) // Polygon (1050,1350) (1050,1500) (1500,1500)
        .Font(-300)                    // 5: 20 pixels
        .Select(5)
        .Add(0x0209, {0xFFFF, 0x00FF})  // SetTextColor white
        .Add(0x0102, {1})               // SetBkMode transparent
        .TextOut(1050, 150, "Hi");
    return wmf;
}

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
