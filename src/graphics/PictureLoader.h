#pragma once
// Logo pictures: Windows bitmaps, JPEG, icons and metafiles, chosen by file extension.
//
// Every decoder checks a picture's declared size against the bounds below before it
// allocates anything for it, and raises an exception derived from EPictureError for
// any file it cannot read, so a damaged file never brings the show down.

#include "util/Exception.h"

#include <QImage>

#include <cstdint>
#include <string>

LUMENFALL_DECLARE_EXCEPTION(EPictureError, Exception);

// A side of 16384 pixels and 64 Mpixels in all (256 MiB at 32 bits a pixel).
inline constexpr int64_t kMaxPictureSide = 16384;
inline constexpr int64_t kMaxPicturePixels = int64_t(64) << 20;
// Larger files are refused before they are read.
inline constexpr int64_t kMaxPictureFileBytes = int64_t(512) << 20;

// True when both sides are 1 .. kMaxPictureSide and the area is at most kMaxPicturePixels.
bool PictureSizeAllowed(int64_t width, int64_t height);
// The error text for a size that is not allowed.
std::string RefusedPictureSize(int64_t width, int64_t height);

// Loads the picture by its file extension, without regard to case: ".bmp", ".jpg",
// ".jpeg", ".ico", ".wmf", ".emf". The result is Format_RGB32; transparent parts of
// icons are composed onto black, and metafiles are played onto black. A missing,
// unreadable, damaged, unsupported or too large file raises EPictureError (or an
// exception derived from it).
QImage LoadPicture(const std::string& path);
