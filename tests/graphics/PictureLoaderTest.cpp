#include "graphics/BitmapDecoder.h"
#include "graphics/ByteWriter.h"
#include "graphics/JpegDecoder.h"
#include "graphics/PictureBuilders.h"
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
