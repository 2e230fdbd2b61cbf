#pragma once
// A small picture of a wave preset as the saver shows it after three seconds, drawn by the
// show's own code with the wave alone on a small screen, for the gallery.

#include <QImage>
#include <QSize>

#include <cstdint>
#include <functional>

class TWaveConfig;

// Three seconds at the 21 ms frame interval of the saver and of the render command.
inline constexpr int32_t kThumbnailFrames = 3000 / 21;

// The preset after frames frames on a screen of 640 x 360 (the preset's share of it, black
// around), scaled to size. Null when cancelled, which is asked before every frame. Raises
// std::exception when the preset cannot be drawn or a frame fails.
QImage RenderWaveThumbnail(const TWaveConfig& preset, QSize size, const std::function<bool()>& cancelled,
                           int32_t frames = kThumbnailFrames);
