#pragma once
// PNG files of the frames of lumenfall --render, made for speed: the rows go out through the
// Sub filter alone (the trails of the particles are smooth from pixel to pixel) at a chosen
// zlib level, without the search for the best filter of every row.

#include <QByteArray>

#include <cstdint>

class QImage;

// The file of an RGB32 picture at zlib level 0 .. 9, 8-bit RGB without alpha. Raises
// std::runtime_error when the picture cannot be encoded.
QByteArray EncodePng(const QImage& picture, int32_t level);
