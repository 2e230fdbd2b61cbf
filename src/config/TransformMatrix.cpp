#include "config/TransformMatrix.h"

namespace {

// Rows of a matrix: X amplitudes, X frequencies, Y amplitudes, Y frequencies.
constexpr size_t kXAmplitudes = 0, kXFrequencies = 1, kYAmplitudes = 2, kYFrequencies = 3;

float Draw(float bound, const std::function<float()>& random) { return random() * (2.0f * bound) - bound; }

} // namespace

bool UsesSecondMatrix(TTransMapStyle style, bool secondPageActive)
{
    return style == TTransMapStyle::tmsWavedZoomCombined && secondPageActive;
}

TMatrixBounds RandomBounds(TTransMapStyle style, bool secondMatrix)
{
    // Zoom amplitudes are factors, shift amplitudes percent of the drawing area.
    const bool zoom = style == TTransMapStyle::tmsWavedZoom || style == TTransMapStyle::tmsWavedZoomOverlay ||
                      (style == TTransMapStyle::tmsWavedZoomCombined && secondMatrix);
    return {zoom ? 0.1f : 4.0f, 12.0f};
}

void RandomizeMatrix(TSinMagicParams& matrix, TMatrixBounds bounds, const std::function<float()>& random)
{
    for (size_t i = 0; i < 4; ++i) {
        matrix[kXAmplitudes][i] = Draw(bounds.Amplitude, random);
        matrix[kYAmplitudes][i] = Draw(bounds.Amplitude, random);
    }
    for (size_t i = 0; i < 4; ++i) {
        matrix[kXFrequencies][i] = Draw(bounds.Frequency, random);
        matrix[kYFrequencies][i] = Draw(bounds.Frequency, random);
    }
}
