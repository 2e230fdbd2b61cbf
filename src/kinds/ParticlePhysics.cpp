#include "kinds/ParticlePhysics.h"

TParticlePhysics::~TParticlePhysics() { TParticlePhysics::FreeParticles(); }

void TParticlePhysics::Move()
{
    for (int32_t i = 0; i < ParticleCount; ++i)
        Points[i] = VectorAdd(Points[i], Velocities[i]);
    TParticleSystem::Move();
}

void TParticlePhysics::AllocateParticles()
{
    // Freed first so that a failure leaves no array of the old count behind.
    TParticlePhysics::FreeParticles();
    TParticleSystem::AllocateParticles();
    velocities_ = AllocateParticleArray<TVector3d>(ParticleCount, "TParticlePhysics.AllocateParticles");
    Velocities = velocities_.get();
}

void TParticlePhysics::FreeParticles()
{
    TParticleSystem::FreeParticles();
    velocities_.reset();
    Velocities = nullptr;
}
