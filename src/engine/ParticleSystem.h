#pragma once
// The base of every particle cloud: it owns the per-particle arrays, moves the cloud as a
// rigid body, transforms and projects it through its world and plots it into a raster.
// Derived kinds only produce model points and colours.

#include "engine/World3d.h"
#include "graphics/GfxTool.h"
#include "util/Exception.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

LUMENFALL_DECLARE_EXCEPTION(EParticleSystemError, Exception);

// Stored as its ordinal.
enum class TRenderMode : uint8_t {
    rmDraw,        // "Dots": the pixel takes the particle's colour
    rmDrawMixMode, // "Fipsel": half the colour is added, saturating
    rmDrawStars,   // "Stars": an additive five-pixel star
};

// Lifecycle: construct, SetParticleCount (or a derived constructor sets ParticleCount
// and calls InitParticles), set Raster and the render mode, add to a TWorld3d, step once
// per frame. Stepping needs ParticleCount >= 1, a world for Transform and Project and a
// raster for Render; without them those steps do nothing.
//
// Derived kinds that obtain their arrays elsewhere override AllocateParticles and
// FreeParticles. C++ does not dispatch virtual calls from a destructor to a derived
// class, so the destructor of every class that overrides FreeParticles must call its own
// FreeParticles; the base's FreeParticles may then run again harmlessly, since freeing
// twice is a no-op.
class TParticleSystem : public TObject3d {
public:
    TParticleSystem() = default;
    ~TParticleSystem() override;

    // Angle += Rot; Position += Velocity. Overrides call this besides making their points.
    void Move() override;
    // ViewPoints := Points rotated by the angle relative to the viewer, plus the offset
    // from the viewer seen from the viewer.
    void Transform() override;
    void Project() override;
    // Plots with the procedure chosen by SetRenderMode, particles in index order.
    void Render() override;
    // The share of the particles whose screen points lie outside Raster (0 without
    // particles or raster): how far a cloud runs off its drawing area.
    double ShareOutsideRaster() const;

    // Provides all four arrays for ParticleCount entries (null for 0). Raises
    // EParticleSystemError when the memory cannot be had. An override that takes some
    // arrays from elsewhere calls this first and then points those arrays at its own.
    virtual void AllocateParticles();
    // Releases exactly what AllocateParticles obtained and sets the arrays to null.
    virtual void FreeParticles();
    // Discards all particle data and reallocates for n particles, cleared. A negative n
    // raises EParticleSystemError and leaves the system empty.
    virtual void SetParticleCount(int32_t n);

    void InitParticles();
    // Points become (0, 0, 0) and colours 0.
    void ClearParticles();
    // Unknown values are stored but keep the previous plotting procedure.
    void SetRenderMode(TRenderMode mode);

    // A regular grid of particles sampled from the picture, ExtentX x ExtentY world units
    // wide around the origin, keeping the picture's aspect. Particles beyond the grid keep
    // their points and colours.
    void GridFromRaster(const TDIBRaster& raster, float extentX, float extentY);
    // Particles from the pixels whose colour differs from background by more than
    // tolerance, spread evenly over the particle indices. No such pixel changes nothing.
    void MaskFromRaster(const TDIBRaster& raster, TPixel background, int32_t tolerance, float extentX,
                        float extentY);

    int32_t ParticleCount = 0;
    // Model coordinates, relative to the system's origin.
    TVector3d* Points = nullptr;
    TVector3d* ViewPoints = nullptr;
    TScreenPoint* ScreenPoints = nullptr;
    // 0x00RRGGBB, as in the raster.
    TPixel* Colors = nullptr;
    // Where Render plots; not owned.
    TDIBRaster* Raster = nullptr;
    TRenderMode RenderMode = TRenderMode::rmDraw;
    // Added to Position by every Move.
    TVector3d Velocity = ZeroPosition;
    // Degrees, added to Angle by every Move.
    TVector3d Rot = ZeroAngle;

protected:
    void PlotDots();
    void PlotMix();
    void PlotStars();

private:
    struct TFreeDeleter {
        void operator()(void* p) const { std::free(p); }
    };

    using TPlotProcedure = void (TParticleSystem::*)();
    TPlotProcedure plot_ = &TParticleSystem::PlotDots;
    // The one block that holds the four arrays when the base allocated them.
    std::unique_ptr<std::byte, TFreeDeleter> storage_;
};
