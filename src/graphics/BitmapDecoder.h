#pragma once
// Windows bitmaps (files and the device-independent bitmaps inside metafiles) and icons,
// read by the platform's image readers after their headers have been checked here: the
// declared size against the picture bounds, and the pixel data against the bytes given.

#include "graphics/PictureLoader.h"

#include <QImage>

#include <cstdint>
#include <span>

LUMENFALL_DECLARE_EXCEPTION(EBitmapError, EPictureError);

// A ".bmp" file: 1, 4, 8, 16, 24 or 32 bits, uncompressed, bit fields or run-length
// encoded, bottom-up or top-down. Bitmaps come without alpha, as the platform draws them.
QImage DecodeBitmapFile(std::span<const uint8_t> file);

// A device-independent bitmap given as its header with colour table (`info`) and its
// pixel data (`bits`), as metafile records carry them.
QImage DecodeDib(std::span<const uint8_t> info, std::span<const uint8_t> bits);
// The same, header, colour table and pixels in one block.
QImage DecodePackedDib(std::span<const uint8_t> dib);

// An ".ico" file: the image whose size is nearest to 32 x 32 (the size the platform
// draws icons at), the deeper one when two are as near.
QImage DecodeIcon(std::span<const uint8_t> file);
