#include "graphics/BitmapDecoder.h"

#include "util/LittleEndian.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <cstdlib>
#include <string>

namespace {

constexpr int64_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr int64_t kMaxColorTable = 256;

enum : uint32_t { biRGB = 0, biRLE8 = 1, biRLE4 = 2, biBitFields = 3 };

[[noreturn]] void Fail(const char* operation, const std::string& text)
{
    throw EBitmapError(std::string("BitmapDecoder.") + operation + " : " + text);
}

struct TDibLayout {
    int64_t InfoSize = 0;   // header, colour table and bit-field masks
    int64_t PixelBytes = 0; // pixel data the header asks for
};

bool ValidDepth(uint32_t bitCount, uint32_t compression)
{
    switch (compression) {
    case biRGB:
        return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32;
    case biRLE8:
        return bitCount == 8;
    case biRLE4:
        return bitCount == 4;
    case biBitFields:
        return bitCount == 16 || bitCount == 32;
    default:
        return false;
    }
}

// Checks the header that starts `info` against the bounds and the bytes given; the pixel
// data is checked by the callers, which know where it is.
TDibLayout ReadDibLayout(std::span<const uint8_t> info, const char* operation)
{
    if (info.size() < 4)
        Fail(operation, "The bitmap header is missing");
    const uint8_t* p = info.data();
    const uint32_t headerSize = LoadU32(p);
    if ((headerSize != kCoreHeaderSize && headerSize < kInfoHeaderSize) || headerSize > info.size())
        Fail(operation, "Unsupported or damaged bitmap header of " + std::to_string(headerSize) + " bytes");

    int64_t width, height, entrySize;
    uint32_t bitCount, compression = biRGB, imageSize = 0, colorsUsed = 0;
    if (headerSize == kCoreHeaderSize) {
        width = LoadU16(p + 4);
        height = LoadU16(p + 6);
        bitCount = LoadU16(p + 10);
        entrySize = 3;
    } else {
        width = LoadI32(p + 4);
        height = LoadI32(p + 8);
        bitCount = LoadU16(p + 14);
        compression = LoadU32(p + 16);
        imageSize = LoadU32(p + 20);
        colorsUsed = LoadU32(p + 32);
        entrySize = 4;
    }
    if (!PictureSizeAllowed(width, std::abs(height)))
        Fail(operation, RefusedPictureSize(width, std::abs(height)));
    if (!ValidDepth(bitCount, compression))
        Fail(operation, "Unsupported bitmap of " + std::to_string(bitCount) + " bits with compression " +
                            std::to_string(compression));
    if (colorsUsed > kMaxColorTable)
        Fail(operation, "The colour table is damaged");

    TDibLayout layout;
    const int64_t colors = colorsUsed != 0 ? colorsUsed : bitCount <= 8 ? int64_t(1) << bitCount : 0;
    const int64_t masks = headerSize == kInfoHeaderSize && compression == biBitFields ? 12 : 0;
    layout.InfoSize = headerSize + colors * entrySize + masks;
    if (layout.InfoSize > int64_t(info.size()))
        Fail(operation, "The colour table is truncated");
    if (compression == biRLE8 || compression == biRLE4) {
        if (imageSize == 0 || height < 0)
            Fail(operation, "The run-length encoded bitmap is damaged");
        layout.PixelBytes = imageSize;
    } else {
        layout.PixelBytes = (width * bitCount + 31) / 32 * 4 * std::abs(height);
    }
    return layout;
}

// The platform reader, held to the format it is told (no guessing from the content).
QImage ReadWithPlatformReader(const QByteArray& data, const char* format, int index, const char* operation)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    // Images embedded in icons are compressed; this keeps their allocation in bounds too.
    QImageReader::setAllocationLimit(int(kMaxPicturePixels * 4 >> 20));
    if (index > 0 && !reader.jumpToImage(index))
        Fail(operation, "The icon directory is damaged");
    QImage image;
    if (!reader.read(&image))
        Fail(operation, "The picture data is damaged (" + reader.errorString().toStdString() + ")");
    if (!PictureSizeAllowed(image.width(), image.height()))
        Fail(operation, RefusedPictureSize(image.width(), image.height()));
    return image;
}

// The platform copies bitmaps without their alpha channel: a bitmap whose alpha bytes are
// all zero still shows its colours.
QImage WithoutAlpha(QImage image)
{
    if (!image.hasAlphaChannel())
        return image;
    image = image.convertToFormat(QImage::Format_ARGB32); // unpremultiplied: the colours stay
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] |= 0xFF000000u;
    }
    image.reinterpretAsFormat(QImage::Format_RGB32);
    return image;
}

QByteArray RawBytes(std::span<const uint8_t> bytes)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

void AppendU32(QByteArray& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

} // namespace

QImage DecodeBitmapFile(std::span<const uint8_t> file)
{
    if (file.size() < size_t(kFileHeaderSize) || file[0] != 'B' || file[1] != 'M')
        Fail("DecodeBitmapFile", "Not a Windows bitmap");
    const TDibLayout layout = ReadDibLayout(file.subspan(kFileHeaderSize), "DecodeBitmapFile");
    const int64_t pixelOffset = LoadU32(file.data() + 10);
    if (pixelOffset < kFileHeaderSize + layout.InfoSize || pixelOffset + layout.PixelBytes > int64_t(file.size()))
        Fail("DecodeBitmapFile", "The pixel data is truncated");
    return WithoutAlpha(ReadWithPlatformReader(RawBytes(file), "bmp", 0, "DecodeBitmapFile"));
}

QImage DecodeDib(std::span<const uint8_t> info, std::span<const uint8_t> bits)
{
    const TDibLayout layout = ReadDibLayout(info, "DecodeDib");
    if (layout.PixelBytes > int64_t(bits.size()))
        Fail("DecodeDib", "The pixel data is truncated");
    // The platform reader takes whole files: put a file header in front.
    const int64_t pixelOffset = kFileHeaderSize + layout.InfoSize;
    QByteArray file;
    file.reserve(qsizetype(pixelOffset + layout.PixelBytes));
    file.append("BM");
    AppendU32(file, uint32_t(pixelOffset + layout.PixelBytes));
    AppendU32(file, 0);
    AppendU32(file, uint32_t(pixelOffset));
    file.append(reinterpret_cast<const char*>(info.data()), qsizetype(layout.InfoSize));
    file.append(reinterpret_cast<const char*>(bits.data()), qsizetype(layout.PixelBytes));
    return WithoutAlpha(ReadWithPlatformReader(file, "bmp", 0, "DecodeDib"));
}

QImage DecodePackedDib(std::span<const uint8_t> dib)
{
    const TDibLayout layout = ReadDibLayout(dib, "DecodeDib");
    return DecodeDib(dib.first(size_t(layout.InfoSize)), dib.subspan(size_t(layout.InfoSize)));
}

QImage DecodeIcon(std::span<const uint8_t> file)
{
    constexpr size_t kDirectorySize = 6;
    constexpr size_t kEntrySize = 16;
    constexpr int kPreferredSide = 32;
    if (file.size() < kDirectorySize || LoadU16(file.data()) != 0 || LoadU16(file.data() + 2) != 1)
        Fail("DecodeIcon", "Not an icon file");
    const size_t count = LoadU16(file.data() + 4);
    if (count == 0 || kDirectorySize + count * kEntrySize > file.size())
        Fail("DecodeIcon", "The icon directory is damaged");

    int best = -1, bestDistance = 0, bestDepth = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* entry = file.data() + kDirectorySize + i * kEntrySize;
        const int width = entry[0] != 0 ? entry[0] : 256;
        const int height = entry[1] != 0 ? entry[1] : 256;
        const int depth = LoadU16(entry + 6);
        const uint64_t bytes = LoadU32(entry + 8);
        const uint64_t offset = LoadU32(entry + 12);
        if (bytes == 0 || offset + bytes > file.size())
            Fail("DecodeIcon", "The icon directory is damaged");
        const int distance = std::abs(width - kPreferredSide) + std::abs(height - kPreferredSide);
        if (best < 0 || distance < bestDistance || (distance == bestDistance && depth > bestDepth)) {
            best = int(i);
            bestDistance = distance;
            bestDepth = depth;
        }
    }
    return ReadWithPlatformReader(RawBytes(file), "ico", best, "DecodeIcon");
}
