#pragma once
// One frame of drawing a particle system onto the show's two rasters: the motion-blur
// fade of the previous picture, optional smoothing or a translation map, then the system
// on top. Current is the raster to show after the frame.

#include "graphics/GfxFilters.h"
#include "graphics/GfxTool.h"

#include <cstdint>

class TParticleSystem;

// Whether a translation map works on the previous picture before the system is drawn,
// or on the picture with this frame's particles. Stored as its ordinal.
enum class TTransMapMode : uint8_t {
    tmmApplyBefore, // "Apply before drawing"
    tmmApplyAfter,  // "Apply after drawing"
};

// Binds two rasters of the same size, which it does not own, and its own smoothing
// filter. Blur is the fade level of TDIBRaster::Fade (0 clears, 8 keeps the most).
class TDrawingSurface {
public:
    // Current starts as primary.
    TDrawingSurface(TDIBRaster& primary, TDIBRaster& secondary);
    TDrawingSurface(const TDrawingSurface&) = delete;
    TDrawingSurface& operator=(const TDrawingSurface&) = delete;

    TDIBRaster& Current() const { return *current_; }
    TDIBRaster& Primary() const { return primary_; }
    TDIBRaster& Secondary() const { return secondary_; }
    TFastSmooth& Smoother() { return smoother_; }

    // Points the system at Current and steps it: Move, Transform, Project, Render. The
    // system's Visible flag is not consulted.
    void DrawSystem(TParticleSystem& system);
    // Fades Current, then draws the system into it.
    void Draw(TParticleSystem& system, uint8_t blur);
    // Smooths the other raster's picture into this frame's raster (Primary when even,
    // Secondary otherwise), fades it and draws the system on top. Alternating even from
    // frame to frame lets the rasters take turns without a copy.
    void DrawSmoothed(TParticleSystem& system, uint8_t blur, bool even);
    // Maps Primary into Secondary and smooths it back into Primary, which is faded; the
    // system is drawn into Primary before the map (tmmApplyAfter) or after the fade
    // (tmmApplyBefore); any other mode draws nothing. Leaves Current on Primary. Both
    // rasters must have the map's size (the map refuses others).
    void DrawTransformed(TParticleSystem& system, uint8_t blur, TTranslationMap& map, TTransMapMode mode);

private:
    TDIBRaster* current_;
    TDIBRaster& primary_;
    TDIBRaster& secondary_;
    TFastSmooth smoother_;
};
