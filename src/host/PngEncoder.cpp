#include "host/PngEncoder.h"

#include <QImage>

#include <png.h>

#include <csetjmp>
#include <stdexcept>

namespace {

void AppendBytes(png_structp png, png_bytep data, size_t length)
{
    static_cast<QByteArray*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), qsizetype(length));
}

void NoFlush(png_structp) {}

// libpng reports errors by long jump; the message is kept for the exception.
void KeepError(png_structp png, png_const_charp message)
{
    *static_cast<const char**>(png_get_error_ptr(png)) = message;
    png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

} // namespace

QByteArray EncodePng(const QImage& picture, int32_t level)
{
    if (picture.format() != QImage::Format_RGB32 || picture.isNull())
        throw std::runtime_error("cannot encode a frame that is not a 32-bit picture");
    const char* error = nullptr;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, KeepError, IgnoreWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        throw std::runtime_error("out of memory for a PNG encoder");
    }
    QByteArray bytes;
    // Nothing with a destructor is created between here and the rows.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error(std::string("cannot encode a frame: ") + (error ? error : "libpng failed"));
    }
    png_set_write_fn(png, &bytes, AppendBytes, NoFlush);
    png_set_IHDR(png, info, png_uint_32(picture.width()), png_uint_32(picture.height()), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, level);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, level == 0 ? PNG_FILTER_NONE : PNG_FILTER_SUB);
    png_write_info(png, info);
    // RGB32 is B, G, R, X in memory on a little-endian machine: reversed and the fourth
    // byte dropped on the way.
    png_set_bgr(png);
    png_set_filler(png, 0, PNG_FILLER_AFTER);
    for (int32_t y = 0; y < picture.height(); ++y)
        png_write_row(png, picture.constScanLine(y));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return bytes;
}
