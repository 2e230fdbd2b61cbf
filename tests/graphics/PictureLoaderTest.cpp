#include "graphics/BitmapDecoder.h"
#include "graphics/ByteWriter.h"
#include "graphics/JpegDecoder.h"
#include "graphics/PictureLoader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio> // jpeglib.h needs FILE declared first
#include <functional>
#include <jpeglib.h>
#include <random>

namespace {

uint32_t Rgb(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

int Channel(uint32_t c, int shift) { return int((c >> shift) & 0xFF); }

bool Near(uint32_t a, uint32_t b, int tolerance)
{
    for (int shift : {0, 8, 16})
        if (std::abs(Channel(a, shift) - Channel(b, shift)) > tolerance)
            return false;
    return true;
}

// A BI_RGB bitmap file; `value` gives a palette index (up to 8 bits) or a colour 0xRRGGBB.
std::vector<uint8_t> MakeBitmapFile(int width, int height, int bits, bool topDown, const std::vector<uint32_t>& palette,
                                    const std::function<uint32_t(int, int)>& value)
{
    const uint32_t rowBytes = (width * bits + 31) / 32 * 4;
    const uint32_t colors = bits <= 8 ? uint32_t(palette.size()) : 0;
    const uint32_t pixelOffset = 14 + 40 + colors * 4;
    TByteWriter w;
    w.U8('B');
    w.U8('M');
    w.U32(pixelOffset + rowBytes * height);
    w.U32(0);
    w.U32(pixelOffset);
    w.U32(40);
    w.U32(width);
    w.U32(topDown ? -height : height);
    w.U16(1);
    w.U16(bits);
    w.U32(0);
    w.U32(rowBytes * height);
    w.U32(2835);
    w.U32(2835);
    w.U32(colors);
    w.U32(0);
    for (uint32_t i = 0; i < colors; ++i)
        w.U32(palette[i]);
    for (int row = 0; row < height; ++row) {
        const int y = topDown ? row : height - 1 - row;
        std::vector<uint8_t> line(rowBytes, 0);
        for (int x = 0; x < width; ++x) {
            const uint32_t v = value(x, y);
            switch (bits) {
            case 1:
                line[x / 8] |= uint8_t(v << (7 - x % 8));
                break;
            case 4:
                line[x / 2] |= uint8_t(v << (x % 2 ? 0 : 4));
                break;
            case 8:
                line[x] = uint8_t(v);
                break;
            default:
                for (int c = 0; c < 3; ++c)
                    line[x * (bits / 8) + c] = uint8_t(v >> (8 * c));
                break;
            }
        }
        w.Append(line);
    }
    return w.Bytes;
}

std::vector<uint8_t> Encode(const QImage& image, const char* format, bool progressive = false)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(95);
    writer.setProgressiveScanWrite(progressive);
    EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
    return std::vector<uint8_t>(buffer.data().begin(), buffer.data().end());
}

// Four blocks: red, green / blue, white.
QImage Quadrants(QImage::Format format)
{
    QImage image(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            image.setPixel(x, y, y < 24 ? (x < 32 ? 0xFFFF0000 : 0xFF00FF00) : (x < 32 ? 0xFF0000FF : 0xFFFFFFFF));
    return image.convertToFormat(format);
}

// The frame header's marker (0xC0 baseline, 0xC2 progressive) and component count.
std::pair<int, int> JpegFrameKind(const std::vector<uint8_t>& jpeg)
{
    for (size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2))
            return {jpeg[i + 1], jpeg[i + 9]};
    return {0, 0};
}

// One icon image of 32 bits: `color` (0xAARRGGBB) everywhere, transparent left of `clearLeft`.
std::vector<uint8_t> IconImage(int side, uint32_t color, int clearLeft)
{
    TByteWriter w;
    w.U32(40);
    w.U32(side);
    w.U32(side * 2); // colour rows and mask rows
    w.U16(1);
    w.U16(32);
    for (int i = 0; i < 6; ++i)
        w.U32(0);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            w.U32(x < clearLeft ? 0 : color);
    const int maskRow = (side + 31) / 32 * 4;
    for (int i = 0; i < maskRow * side; ++i)
        w.U8(0);
    return w.Bytes;
}

std::vector<uint8_t> MakeIconFile()
{
    const std::vector<std::vector<uint8_t>> images = {IconImage(16, 0xFFFF0000, 0), IconImage(32, 0xFF0000FF, 16),
                                                      IconImage(48, 0xFF00FF00, 0)};
    TByteWriter w;
    w.U16(0);
    w.U16(1);
    w.U16(uint32_t(images.size()));
    uint32_t offset = 6 + 16 * uint32_t(images.size());
    for (const auto& image : images) {
        const uint32_t side = uint32_t(std::sqrt(double((image.size() - 40) / 4)));
        w.U8(side);
        w.U8(side);
        w.U8(0);
        w.U8(0);
        w.U16(1);
        w.U16(32);
        w.U32(uint32_t(image.size()));
        w.U32(offset);
        offset += uint32_t(image.size());
    }
    for (const auto& image : images)
        w.Append(image);
    return w.Bytes;
}

std::vector<uint8_t> CmykJpeg()
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = 8;
    info.image_height = 8;
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(32, 100);
    JSAMPROW rows[] = {row.data()};
    while (info.next_scanline < info.image_height)
        jpeg_write_scanlines(&info, rows, 1);
    jpeg_finish_compress(&info);
    std::vector<uint8_t> result(out, out + size);
    jpeg_destroy_compress(&info);
    std::free(out);
    return result;
}

class PictureFiles : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        const std::string path = dir_.path().toStdString() + "/" + name;
        QFile file(QString::fromStdString(path));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
        return path;
    }

    QTemporaryDir dir_;
};

struct TBitmapCase {
    int Bits;
    bool TopDown;
};

class BitmapDepths : public PictureFiles, public ::testing::WithParamInterface<TBitmapCase> {};

} // namespace

TEST_P(BitmapDepths, PixelsKeepTheirColoursAndRows)
{
    const auto [bits, topDown] = GetParam();
    constexpr int kWidth = 13, kHeight = 5; // odd sizes exercise the row padding
    std::vector<uint32_t> palette;
    if (bits <= 8)
        for (uint32_t i = 0; i < (1u << bits); ++i)
            palette.push_back((i * 37 % 256) << 16 | (255 - i) << 8 | (i * 11 % 256));
    auto index = [&](int x, int y) { return uint32_t(x * 3 + y * 7) % (1u << std::min(bits, 8)); };
    auto color = [](int x, int y) { return uint32_t(x * 19) << 16 | uint32_t(y * 50) << 8 | uint32_t(x * y + 5); };
    auto expected = [&](int x, int y) { return bits <= 8 ? palette[index(x, y)] : color(x, y); };
    auto stored = [&](int x, int y) { return bits <= 8 ? index(x, y) : color(x, y); };
    const std::string path = Write("picture.bmp", MakeBitmapFile(kWidth, kHeight, bits, topDown, palette, stored));

    const QImage picture = LoadPicture(path);
    ASSERT_EQ(picture.format(), QImage::Format_RGB32);
    ASSERT_EQ(picture.size(), QSize(kWidth, kHeight));
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            ASSERT_EQ(Rgb(picture, x, y), expected(x, y)) << "at " << x << ", " << y;
}

INSTANTIATE_TEST_SUITE_P(AllDepths, BitmapDepths,
                         ::testing::Values(TBitmapCase{1, false}, TBitmapCase{1, true}, TBitmapCase{4, false},
                                           TBitmapCase{4, true}, TBitmapCase{8, false}, TBitmapCase{8, true},
                                           TBitmapCase{24, false}, TBitmapCase{24, true}, TBitmapCase{32, false},
                                           TBitmapCase{32, true}),
                         [](const auto& info) {
                             return std::to_string(info.param.Bits) +
                                    (info.param.TopDown ? "BitsTopDown" : "BitsBottomUp");
                         });

TEST_F(PictureFiles, BitmapAlphaIsIgnoredAsThePlatformDrawsBitmaps)
{
    // 2 x 1 pixels of 32 bits with an alpha mask: transparent red, half-transparent green.
    TByteWriter w;
    w.U8('B');
    w.U8('M');
    w.U32(14 + 108 + 8);
    w.U32(0);
    w.U32(14 + 108);
    for (uint32_t v : {108u, 2u, 1u})
        w.U32(v);
    w.U16(1);
    w.U16(32);
    for (uint32_t v : {3u, 8u, 0u, 0u, 0u, 0u, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u})
        w.U32(v);
    while (w.Bytes.size() < 14 + 108)
        w.U8(0);
    w.U32(0x00FF0000);
    w.U32(0x8000FF00);
    const QImage picture = LoadPicture(Write("alpha.bmp", w.Bytes));
    EXPECT_EQ(Rgb(picture, 0, 0), 0xFF0000u);
    EXPECT_EQ(Rgb(picture, 1, 0), 0x00FF00u);
}

TEST_F(PictureFiles, JpegBaselineProgressiveAndGrayscaleAreDecoded)
{
    const std::vector<uint8_t> baseline = Encode(Quadrants(QImage::Format_RGB32), "jpeg");
    const std::vector<uint8_t> progressive = Encode(Quadrants(QImage::Format_RGB32), "jpeg", true);
    ASSERT_EQ(JpegFrameKind(baseline), std::make_pair(0xC0, 3));
    ASSERT_EQ(JpegFrameKind(progressive), std::make_pair(0xC2, 3));
    for (const auto& [name, bytes] :
         {std::pair{"baseline.jpg", baseline}, std::pair{"progressive.JPEG", progressive}}) {
        const QImage picture = LoadPicture(Write(name, bytes));
        ASSERT_EQ(picture.size(), QSize(64, 48)) << name;
        EXPECT_TRUE(Near(Rgb(picture, 12, 10), 0xFF0000, 12)) << name;
        EXPECT_TRUE(Near(Rgb(picture, 50, 10), 0x00FF00, 12)) << name;
        EXPECT_TRUE(Near(Rgb(picture, 12, 38), 0x0000FF, 12)) << name;
        EXPECT_TRUE(Near(Rgb(picture, 50, 38), 0xFFFFFF, 12)) << name;
    }

    const std::vector<uint8_t> gray = Encode(Quadrants(QImage::Format_Grayscale8), "jpeg");
    ASSERT_EQ(JpegFrameKind(gray).second, 1);
    const QImage expected = Quadrants(QImage::Format_Grayscale8);
    const QImage picture = LoadPicture(Write("gray.jpeg", gray));
    for (const QPoint p : {QPoint(12, 10), QPoint(50, 10), QPoint(12, 38), QPoint(50, 38)}) {
        const int level = qGray(expected.pixel(p));
        EXPECT_TRUE(Near(Rgb(picture, p.x(), p.y()), uint32_t(level * 0x010101), 6)) << p.x() << ", " << p.y();
    }
}

TEST(JpegDecoder, DamagedAndCmykPicturesRaiseWithoutTerminalOutput)
{
    const std::vector<uint8_t> jpeg = Encode(Quadrants(QImage::Format_RGB32), "jpeg");
    std::vector<uint8_t> scrambled = jpeg;
    for (size_t i = scrambled.size() / 2; i < scrambled.size() / 2 + 40; ++i)
        scrambled[i] = 0xFF; // markers in the middle of the scan
    ::testing::internal::CaptureStderr();
    EXPECT_THROW(DecodeJpeg(std::span(jpeg).first(jpeg.size() - 200)), EJpegError);
    try {
        DecodeJpeg(scrambled);
    } catch (const EJpegError&) {
    }
    try {
        DecodeJpeg(CmykJpeg());
        ADD_FAILURE() << "CMYK accepted";
    } catch (const EJpegError& e) {
        EXPECT_EQ(e.Message(), "JpegDecoder.DecodeJpeg : CMYK pictures are not supported");
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(PictureFiles, IconNearestTo32PixelsIsTakenWithTransparencyOnBlack)
{
    const QImage picture = LoadPicture(Write("logo.Ico", MakeIconFile()));
    ASSERT_EQ(picture.size(), QSize(32, 32));
    EXPECT_EQ(picture.format(), QImage::Format_RGB32);
    EXPECT_EQ(Rgb(picture, 24, 10), 0x0000FFu);
    EXPECT_EQ(Rgb(picture, 4, 10), 0x000000u);
}

TEST_F(PictureFiles, DamagedFilesOfEveryKindRaise)
{
    std::mt19937 random(7);
    std::vector<uint8_t> garbage(4096);
    for (auto& b : garbage)
        b = uint8_t(random());
    const std::vector<uint8_t> bitmap =
        MakeBitmapFile(40, 30, 24, false, {}, [](int x, int y) { return uint32_t(x * 5 + y); });
    const std::vector<uint8_t> jpeg = Encode(Quadrants(QImage::Format_RGB32), "jpeg", true);
    const std::vector<uint8_t> icon = MakeIconFile();
    for (const auto& [extension, valid] :
         {std::pair{".bmp", bitmap}, std::pair{".jpg", jpeg}, std::pair{".ico", icon}}) {
        const std::vector<uint8_t> truncated(valid.begin(), valid.begin() + valid.size() / 2);
        EXPECT_THROW(LoadPicture(Write(std::string("truncated") + extension, truncated)), EPictureError) << extension;
        EXPECT_THROW(LoadPicture(Write(std::string("garbage") + extension, garbage)), EPictureError) << extension;
        EXPECT_THROW(LoadPicture(Write(std::string("empty") + extension, {})), EPictureError) << extension;
    }
    // Flipped bytes anywhere: a picture or the exception, never a crash.
    for (const auto& valid : {bitmap, jpeg, icon}) {
        for (int round = 0; round < 200; ++round) {
            std::vector<uint8_t> damaged = valid;
            for (int i = 0; i < 4; ++i)
                damaged[random() % std::min<size_t>(damaged.size(), 200)] = uint8_t(random());
            try {
                DecodeBitmapFile(damaged);
            } catch (const EPictureError&) {
            }
            try {
                DecodeJpeg(damaged);
            } catch (const EPictureError&) {
            }
            try {
                DecodeIcon(damaged);
            } catch (const EPictureError&) {
            }
        }
    }
}

TEST_F(PictureFiles, HugeDeclaredSizesAreRefusedBeforeDecoding)
{
    std::vector<uint8_t> bitmap = MakeBitmapFile(4, 4, 24, false, {}, [](int, int) { return 0u; });
    TByteWriter header{bitmap};
    header.PatchU32(18, 60000);
    header.PatchU32(22, 60000);
    EXPECT_THROW(LoadPicture(Write("huge.bmp", header.Bytes)), EBitmapError);
    header.PatchU32(18, 16384);
    header.PatchU32(22, 4097); // each side allowed, the area not
    EXPECT_THROW(LoadPicture(Write("wide.bmp", header.Bytes)), EBitmapError);

    std::vector<uint8_t> jpeg = Encode(Quadrants(QImage::Format_RGB32), "jpeg");
    for (size_t i = 2; i + 8 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = jpeg[i + 6] = jpeg[i + 7] = jpeg[i + 8] = 0xFF; // 65535 x 65535
            break;
        }
    EXPECT_THROW(LoadPicture(Write("huge.jpg", jpeg)), EJpegError);
}

TEST_F(PictureFiles, OnlyExistingFilesWithKnownExtensionsAreRead)
{
    const std::vector<uint8_t> bitmap = MakeBitmapFile(2, 2, 24, false, {}, [](int, int) { return 0x123456u; });
    EXPECT_EQ(Rgb(LoadPicture(Write("upper.BMP", bitmap)), 1, 1), 0x123456u);
    for (const char* name : {"picture.gif", "picture", "picture.bmp.txt"})
        EXPECT_THROW(LoadPicture(Write(name, bitmap)), EPictureError) << name;
    EXPECT_THROW(LoadPicture(dir_.path().toStdString() + "/missing.bmp"), EPictureError);
    ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.bmp"));
    EXPECT_THROW(LoadPicture(dir_.path().toStdString() + "/folder.bmp"), EPictureError);
    try {
        LoadPicture(dir_.path().toStdString() + "/missing.jpg");
        FAIL();
    } catch (const EPictureError& e) {
        EXPECT_NE(e.Message().find("PictureLoader.LoadPicture : "), std::string::npos);
        EXPECT_NE(e.Message().find("missing.jpg"), std::string::npos);
    }
}
