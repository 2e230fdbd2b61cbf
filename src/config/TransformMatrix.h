#pragma once
// The generators of the translation map's two parameter matrices.

#include "kinds/LumenfallCfg.h"

#include <functional>

// Bounds of the random values: amplitudes and frequencies are drawn from [-A, A).
struct TMatrixBounds {
    float Amplitude;
    float Frequency;
};

// Which matrix "Random" and "All Zero" act on: the second only when the style combines
// two maps and its page is the active one.
bool UsesSecondMatrix(TTransMapStyle style, bool secondPageActive);
TMatrixBounds RandomBounds(TTransMapStyle style, bool secondMatrix);

// Draws the amplitudes first, X then Y for each of the four terms, then the frequencies
// in the same order; random gives values in [0, 1).
void RandomizeMatrix(TSinMagicParams& matrix, TMatrixBounds bounds, const std::function<float()>& random);
