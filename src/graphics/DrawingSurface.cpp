#include "graphics/DrawingSurface.h"

#include "engine/ParticleSystem.h"

TDrawingSurface::TDrawingSurface(TDIBRaster& primary, TDIBRaster& secondary)
    : current_(&primary), primary_(primary), secondary_(secondary)
{
}

void TDrawingSurface::DrawSystem(TParticleSystem& system)
{
    system.Raster = current_;
    system.Move();
    system.Transform();
    system.Project();
    system.Render();
}

void TDrawingSurface::Draw(TParticleSystem& system, uint8_t blur)
{
    current_->Fade(blur);
    DrawSystem(system);
}

void TDrawingSurface::DrawSmoothed(TParticleSystem& system, uint8_t blur, bool even)
{
    TDIBRaster& previous = even ? secondary_ : primary_;
    current_ = even ? &primary_ : &secondary_;
    smoother_.ExecuteFaded(previous, *current_, blur);
    DrawSystem(system);
}

void TDrawingSurface::DrawTransformed(TParticleSystem& system, uint8_t blur, TTranslationMap& map,
                                      TTransMapMode mode)
{
    current_ = &primary_;
    if (mode == TTransMapMode::tmmApplyAfter)
        DrawSystem(system);
    // The smoothing is what brings the mapped picture back into Primary; the map does both
    // in one pass over the rasters.
    map.ExecuteAndSmoothBack(primary_, secondary_, blur);
    if (mode == TTransMapMode::tmmApplyBefore)
        DrawSystem(system);
}
