#pragma once
// Whole-raster effects that run between frames: the four-neighbour smoothing, the
// precomputed translation maps (wave shift, zoom, both), and the refracting water.
//
// A filter reads one source raster and writes another of the same size; it is run with
// Execute(source, dest). Giving the same raster as source and destination, a raster of
// another size, or no raster at all raises EGfxFilterException instead of reading
// neighbours that were already overwritten or touching memory outside a raster.

#include "graphics/GfxTool.h"
#include "graphics/MapTable.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

LUMENFALL_DECLARE_EXCEPTION(EGfxFilterException, Exception);

// The sine parameters of a translation map, row by row: the four X amplitudes, the four X
// frequencies, the four Y amplitudes, the four Y frequencies. Amplitudes are pixels for a
// shift and fractions of the distance to the centre for a zoom; a frequency is the number
// of periods across the raster.
using TSinMagicParams = std::array<std::array<float, 4>, 4>;

enum TSinMagicRow : size_t { smrAmplitudesX = 0, smrFrequenciesX = 1, smrAmplitudesY = 2, smrFrequenciesY = 3 };

// Mirrors a v beyond lo or hi back inside at that edge (lo - 3 becomes lo + 3); the result
// is always inside, whatever v is. An empty range (hi <= lo) gives lo.
int32_t Reflect(int32_t v, int32_t lo, int32_t hi);

class TGfxFilter {
public:
    virtual ~TGfxFilter() = default;
    virtual void Apply() = 0;
};

class TMonadicFilter : public TGfxFilter {
public:
    TMonadicFilter() = default;
    TMonadicFilter(const TMonadicFilter&) = delete;
    TMonadicFilter& operator=(const TMonadicFilter&) = delete;

    // The filter takes over the source's width and height.
    virtual void SetSource(TDIBRaster& raster);
    virtual void SetDest(TDIBRaster& raster);
    // SetSource, SetDest, Apply: how every filter is run.
    void Execute(TDIBRaster& source, TDIBRaster& dest);

    TDIBRaster* Source() const { return source_; }
    TDIBRaster* Dest() const { return dest_; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }

protected:
    // For filters built for one size: width and height made even, refused when negative or
    // when the pixel indices would not fit 32 bits.
    TMonadicFilter(const char* className, int32_t width, int32_t height);
    // Raises unless both rasters are set, distinct and of equal size.
    void CheckRasters(const char* operation) const;
    // As CheckRasters, and the source must also have the size the filter was built for.
    void CheckRastersFit(const char* operation) const;

    int32_t width_ = 0;
    int32_t height_ = 0;
    TDIBRaster* source_ = nullptr;
    TDIBRaster* dest_ = nullptr;
    // The size of a filter's own arrays (maps, heights); 0 for filters of any size.
    int32_t builtWidth_ = 0;
    int32_t builtHeight_ = 0;
};

// Destination pixel k receives the source pixel named by map entry k; every entry is kept
// inside the map, so any source of the map's size can be read without checks.
class TTranslationMap : public TMonadicFilter {
public:
    // Starts as the identity.
    TTranslationMap(int32_t width, int32_t height);

    // Source positions beyond an edge are mirrored back inside (Reflect). A destination
    // position outside the map raises EGfxFilterException.
    void SetEntry(int32_t x, int32_t y, int32_t sourceX, int32_t sourceY);
    // Row j moves horizontally by the Y sine sum at j, column i vertically by the X sine
    // sum at i (both truncated to whole pixels).
    void BuildShiftMap(const TSinMagicParams& params);
    // Magnifies about (centerX, centerY) by the sine sums; with overlay both axes use the
    // mean of the X and Y sums.
    void BuildZoomMap(const TSinMagicParams& params, int32_t centerX, int32_t centerY, bool overlay);
    // The shift map seen through the overlay zoom.
    void BuildCombinedMap(const TSinMagicParams& shiftParams, const TSinMagicParams& zoomParams, int32_t centerX,
                          int32_t centerY);

    void Apply() override;
    // Execute(source, dest) followed by the smoothing of dest back into source and source's
    // Fade(fadeLevel), as TFastSmooth::ExecuteFaded(dest, source, fadeLevel) does, in one
    // pass: each band of rows is smoothed and faded while it is still in the cache. Both
    // rasters end with the pixels of the three steps.
    void ExecuteAndSmoothBack(TDIBRaster& source, TDIBRaster& dest, uint8_t fadeLevel);

    // Row-major source indices, one per destination pixel.
    std::vector<int32_t> Entries() const;

private:
    TMapTable table_;
    // Rows per band, and the scratch rows that hold the bands until they are smoothed.
    int32_t bandRows_ = 0;
    int32_t windowRows_ = 0;
    std::vector<TPixel, TLargeArrayAllocator<TPixel>> window_;
};

// Each pixel becomes the mean of its upper, left, right and lower neighbours (the pixel
// array read as one long line); the top and bottom rows become black. With Has3DNow the
// mean is taken as avg(avg(up, left), avg(right, down)) with rounding up, which can be one
// above the plain mean; with HasMMX the plain mean is computed packed, bit for bit equal to
// the plain path. HasAVX2 widens either packed path without changing a bit. All four bytes
// of a pixel are averaged alike.
class TFastSmooth : public TMonadicFilter {
public:
    void Apply() override;
    // Apply followed by Dest's Fade(level), in one pass: each stretch of the destination is
    // faded while it is still in the cache. The pixels are those of the two steps.
    void ApplyFaded(uint8_t level);
    // SetSource, SetDest, ApplyFaded.
    void ExecuteFaded(TDIBRaster& source, TDIBRaster& dest, uint8_t level);

private:
    void Smooth(std::optional<uint8_t> fadeLevel);
};

// Refracts the source through a height field: each pixel is displaced by a table lookup
// of the height differences to its right and lower neighbours.
class TRefractionMap : public TMonadicFilter {
public:
    static constexpr int32_t kTableMin = -2048;
    static constexpr int32_t kTableSize = 4096;

    // Heights all 0; the displacement table is built by SetRefractionIndex.
    TRefractionMap(int32_t width, int32_t height);

    std::span<int16_t> Heights() { return heights_; }
    std::span<const int16_t> Heights() const { return heights_; }
    float RefractionIndex() const { return refractionIndex_; }
    void SetRefractionIndex(float n);
    // Displacement in pixels for a height difference d = -2048 .. 2047; always 0 .. 255.
    int32_t Displacement(int32_t d) const { return table_[size_t(d - kTableMin)]; }

    // Adds vertical sine stripes (frequency periods across the width, phase in degrees) to
    // all heights but the border ones, wrapping at 16 bits.
    void AddSineWave(float amplitude, float phase, float frequency);
    // Sets the heights of a rectangle; the part outside the map is ignored.
    void FillHeights(int32_t x, int32_t y, int32_t width, int32_t height, int16_t value);

    // Pixels whose displaced position falls outside the source keep their destination value;
    // the last row and the last pixel of the row above it are not written.
    void Apply() override;

private:
    std::vector<int16_t> heights_;
    float refractionIndex_ = 0.0f;
    std::array<int32_t, kTableSize> table_{};
};

// A rippling water surface: two height fields stepped by the wave equation with damping
// by one sixteenth per step. A disturbance of CurrentHeights shows two Apply calls later.
class TWaterize : public TMonadicFilter {
public:
    TWaterize(int32_t width, int32_t height);

    TRefractionMap& CurrentHeights() { return *current_; }

    // Refracts the source by the previous heights, then advances the water by one step.
    void Apply() override;

private:
    std::unique_ptr<TRefractionMap> previous_;
    std::unique_ptr<TRefractionMap> current_;
};
