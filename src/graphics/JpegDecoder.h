#pragma once
// JPEG pictures through libjpeg's own interface: baseline and progressive, grayscale and
// colour. Damaged data raises EJpegError; libjpeg never writes to the terminal.

#include "graphics/PictureLoader.h"

#include <QImage>

#include <cstdint>
#include <span>

LUMENFALL_DECLARE_EXCEPTION(EJpegError, EPictureError);

// Format_RGB32. CMYK pictures are refused; a file that ends before its last scan counts
// as damaged.
QImage DecodeJpeg(std::span<const uint8_t> data);
