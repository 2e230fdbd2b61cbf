#pragma once
// Windows metafiles (with or without the placeable header) and enhanced metafiles,
// played record by record onto a picture. The common drawing records are played; the
// others are skipped. Every length and count is checked against the file: a damaged
// record ends playback with EMetafileError.

#include "graphics/PictureLoader.h"

#include <QImage>

#include <cstdint>
#include <span>

LUMENFALL_DECLARE_EXCEPTION(EMetafileError, EPictureError);

// The kind is taken from the content. The picture is Format_RGB32, black where the
// metafile draws nothing. Its size: the placeable header's bounding box at its units per
// inch, else the first window extent (Windows metafiles); the frame at 96 pixels per
// inch, else the bounds (enhanced metafiles).
QImage PlayMetafile(std::span<const uint8_t> data);
