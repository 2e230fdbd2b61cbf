#pragma once
// A particle system whose particles each move by a velocity of their own every frame.

#include "engine/ParticleSystem.h"

#include <cstdint>
#include <memory>
#include <new>
#include <string>

class TParticlePhysics : public TParticleSystem {
public:
    TParticlePhysics() = default;
    ~TParticlePhysics() override;

    // Every point moves by its velocity, then the cloud moves as a whole.
    void Move() override;
    // Velocities come and go with the base arrays; their contents start undefined.
    void AllocateParticles() override;
    void FreeParticles() override;

    // One per particle, added to its point every frame.
    TVector3d* Velocities = nullptr;

private:
    std::unique_ptr<TVector3d[]> velocities_;
};

// An uninitialised per-particle array for the kinds that add arrays of their own; null
// for no particles. Out of memory raises EParticleSystemError naming the operation.
template <class T>
std::unique_ptr<T[]> AllocateParticleArray(int32_t count, const char* operation)
{
    if (count < 1)
        return nullptr;
    std::unique_ptr<T[]> array(new (std::nothrow) T[size_t(count)]);
    if (!array)
        throw EParticleSystemError(std::string(operation) + " : Out of memory for " + std::to_string(count) +
                                   " particles");
    return array;
}
