#pragma once
// Picture files built in memory (bitmaps, icons, JPEG through Qt and libjpeg), for the
// picture tests and the fuzzing seeds.

#include "graphics/ByteWriter.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio> // jpeglib.h needs FILE declared first
#include <cstdlib>
#include <functional>
#include <jpeglib.h>
#include <utility>
#include <vector>

// A BI_RGB bitmap file; `value` gives a palette index (up to 8 bits) or a colour 0xRRGGBB.
inline std::vector<uint8_t> MakeBitmapFile(int width, int height, int bits, bool topDown, const std::vector<uint32_t>& palette,
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

inline std::vector<uint8_t> Encode(const QImage& image, const char* format, bool progressive = false)
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
inline QImage Quadrants(QImage::Format format)
{
    QImage image(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            image.setPixel(x, y, y < 24 ? (x < 32 ? 0xFFFF0000 : 0xFF00FF00) : (x < 32 ? 0xFF0000FF : 0xFFFFFFFF));
    return image.convertToFormat(format);
}

// The frame header's marker (0xC0 baseline, 0xC2 progressive) and component count.
inline std::pair<int, int> JpegFrameKind(const std::vector<uint8_t>& jpeg)
{
    for (size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2))
            return {jpeg[i + 1], jpeg[i + 9]};
    return {0, 0};
}

// One icon image of 32 bits: `color` (0xAARRGGBB) everywhere, transparent left of `clearLeft`.
inline std::vector<uint8_t> IconImage(int side, uint32_t color, int clearLeft)
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

// An icon file of the given images (each from IconImage).
inline std::vector<uint8_t> MakeIconFile(const std::vector<std::vector<uint8_t>>& images)
{
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

inline std::vector<uint8_t> CmykJpeg()
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

inline std::vector<uint8_t> MakeIconFile()
{
    return MakeIconFile({IconImage(16, 0xFFFF0000, 0), IconImage(32, 0xFF0000FF, 16), IconImage(48, 0xFF00FF00, 0)});
}
