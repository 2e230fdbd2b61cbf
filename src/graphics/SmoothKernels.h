#pragma once
// The loops of the four-neighbour smoothing (TFastSmooth), one per processor path, shared by
// the smoothing filter and the mapped frame that smooths its bands as they are made.

#include "graphics/GfxTool.h"

#include <cstddef>

// Smooths pixels begin .. end - 1 of a source of n pixels, w to a row, read as one long
// line: d[p] gets the mean of s[p - w], s[p - 1], s[p + 1] and s[p + w]. The caller keeps
// begin >= w and end <= n - w.
using TSmoothRange = void (*)(const TPixel* s, TPixel* d, size_t w, size_t n, size_t begin, size_t end);

// The loop of the path the feature flags choose now (HasMMX, Has3DNow, HasAVX2).
TSmoothRange ChosenSmoothing();

// The same smoothing with each byte c of the result faded to c - ceil(c / 2^level) for level
// 0 .. 8, as FadePixels does it on the packed paths, in one pass. With streaming stores if
// stream, for a destination too large to stay cached; the caller then fences before the
// destination is read. Null where the processor path has no such loop.
using TSmoothFadeRange = void (*)(const TPixel* s, TPixel* d, size_t w, size_t n, size_t begin, size_t end,
                                  uint8_t level);
TSmoothFadeRange ChosenSmoothFade(bool stream);
