#include "graphics/PictureLoader.h"

#include "graphics/BitmapDecoder.h"
#include "graphics/JpegDecoder.h"
#include "graphics/MetafilePlayer.h"
#include "util/AsciiCase.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include <new>
#include <span>

namespace {

enum class TPictureFormat { Bitmap, Jpeg, Icon, Metafile };

[[noreturn]] void Fail(const std::string& text) { throw EPictureError("PictureLoader.LoadPicture : " + text); }

TPictureFormat FormatOf(const std::string& path)
{
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of('/');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string extension = hasExtension ? path.substr(dot) : "";
    if (SameNoCase(extension, ".bmp"))
        return TPictureFormat::Bitmap;
    if (SameNoCase(extension, ".jpg") || SameNoCase(extension, ".jpeg"))
        return TPictureFormat::Jpeg;
    if (SameNoCase(extension, ".ico"))
        return TPictureFormat::Icon;
    if (SameNoCase(extension, ".wmf") || SameNoCase(extension, ".emf"))
        return TPictureFormat::Metafile;
    Fail("Unsupported picture type \"" + extension + "\" of " + path);
}

QByteArray ReadFile(const std::string& path)
{
    const QString name = QString::fromStdString(path);
    // Devices and pipes could be endless.
    if (!QFileInfo(name).isFile())
        Fail("Cannot open " + path + " (no such file)");
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        Fail("Cannot open " + path + " (" + file.errorString().toStdString() + ")");
    if (file.size() > kMaxPictureFileBytes)
        Fail("The file " + path + " is too large for a picture");
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        Fail("Cannot read " + path + " (" + file.errorString().toStdString() + ")");
    return data;
}

QImage Decode(TPictureFormat format, std::span<const uint8_t> bytes)
{
    switch (format) {
    case TPictureFormat::Bitmap:
        return DecodeBitmapFile(bytes);
    case TPictureFormat::Jpeg:
        return DecodeJpeg(bytes);
    case TPictureFormat::Icon:
        return DecodeIcon(bytes);
    case TPictureFormat::Metafile:
        return PlayMetafile(bytes);
    }
    return {};
}

// The raster a logo is drawn into is black; transparent parts show it.
QImage OnBlack(const QImage& picture)
{
    QImage result;
    if (picture.hasAlphaChannel()) {
        result = QImage(picture.size(), QImage::Format_RGB32);
        if (!result.isNull()) {
            result.fill(Qt::black);
            QPainter painter(&result);
            painter.drawImage(0, 0, picture);
        }
    } else {
        result = picture.convertToFormat(QImage::Format_RGB32);
    }
    if (result.isNull())
        throw std::bad_alloc();
    return result;
}

} // namespace

bool PictureSizeAllowed(int64_t width, int64_t height)
{
    return width >= 1 && height >= 1 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
           width * height <= kMaxPicturePixels;
}

std::string RefusedPictureSize(int64_t width, int64_t height)
{
    return "A picture of " + std::to_string(width) + " x " + std::to_string(height) + " pixels is refused (at most " +
           std::to_string(kMaxPictureSide) + " on a side and " + std::to_string(kMaxPicturePixels) + " pixels)";
}

QImage LoadPicture(const std::string& path)
{
    const TPictureFormat format = FormatOf(path);
    try {
        const QByteArray data = ReadFile(path);
        const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size()));
        return OnBlack(Decode(format, bytes));
    } catch (const std::bad_alloc&) {
        Fail("Out of memory for the picture " + path);
    }
}
