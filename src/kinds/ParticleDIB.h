#pragma once
// A particle system whose particles are the pixels of a raster of its own: the colours
// are the raster's pixel memory, so drawing into the raster recolours the particles.
// Laid on the mantle of a cylinder, the raster becomes a band the world can turn.

#include "engine/ParticleSystem.h"
#include "graphics/GfxTool.h"

#include <cstdint>
#include <memory>

class TParticleDIB : public TParticleSystem {
public:
    // One particle per pixel, all black; particle j * Width() + i is pixel (i, j). An odd
    // width is made even as the raster makes it, so that every row of particles stays one
    // row of pixels. A negative size or more pixels than a raster can hold raises.
    TParticleDIB(int32_t width, int32_t height);
    ~TParticleDIB() override;

    // The raster is created with the arrays: Colors is its pixel memory.
    void AllocateParticles() override;
    void FreeParticles() override;
    // The count follows from the size: always refused.
    void SetParticleCount(int32_t n) override;

    // Column i goes to angle 360 * i / Width() degrees about the Y axis at the radius,
    // row j to Y = j * height / Height() - height / 2.
    void WrapOnCylinder(float radius, float height);

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    // The raster whose pixels are the particles' colours; draw into it through its canvas.
    TDIBRaster& DIB() { return *dib_; }
    const TDIBRaster& DIB() const { return *dib_; }

private:
    int32_t width_;
    int32_t height_;
    std::unique_ptr<TDIBRaster> dib_;
};
