#include "kinds/ParticleDIB.h"

#include <cmath>
#include <numbers>
#include <string>

namespace {

int32_t EvenWidth(int32_t width)
{
    int32_t unused = 0;
    MakeEven(width, unused);
    return width;
}

} // namespace

TParticleDIB::TParticleDIB(int32_t width, int32_t height) : width_(EvenWidth(width)), height_(height)
{
    const int64_t count = int64_t(width_) * height_;
    if (width_ < 0 || height_ < 0 || count > INT32_MAX)
        throw EParticleSystemError("TParticleDIB.Create : Cannot create " + std::to_string(width) + " x " +
                                   std::to_string(height) + " particles");
    ParticleCount = int32_t(count);
    InitParticles();
}

TParticleDIB::~TParticleDIB() { TParticleDIB::FreeParticles(); }

void TParticleDIB::AllocateParticles()
{
    TParticleSystem::AllocateParticles();
    dib_ = std::make_unique<TDIBRaster>(width_, height_);
    Colors = dib_->Bits();
}

void TParticleDIB::FreeParticles()
{
    TParticleSystem::FreeParticles();
    dib_.reset();
}

void TParticleDIB::SetParticleCount(int32_t)
{
    throw EParticleSystemError("TParticleDIB.SetParticleCount : Cannot set ParticleCount of TParticleDIB");
}

void TParticleDIB::WrapOnCylinder(float radius, float height)
{
    const float fullTurn = 2.0f * std::numbers::pi_v<float>;
    for (int32_t i = 0; i < width_; ++i) {
        const float angle = fullTurn * float(i) / float(width_);
        const float x = radius * std::cos(angle);
        const float z = radius * std::sin(angle);
        for (int32_t j = 0; j < height_; ++j)
            Points[int64_t(j) * width_ + i] = {x, float(j) * height / float(height_) - height / 2.0f, z};
    }
}
