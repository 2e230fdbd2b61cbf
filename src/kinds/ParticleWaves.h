#pragma once
// The wave particle system: a closed chain of particles whose X, Y and Z are each a sum of
// up to three sine waves along the chain, with amplitudes and frequencies modulated over
// the running time Pos, coloured by one sine wave per channel that drifts with Pos.

#include "engine/ParticleSystem.h"
#include "kinds/LumenfallCfg.h"

#include <array>
#include <vector>

class TParticleWaves : public TParticleSystem {
public:
    TParticleWaves() = default;

    // Takes the particle count (reallocating), the render mode, the waves, Speed, Pos, the
    // colour waves, Angle and Rot. The system keeps its own Pos from then on.
    void ApplyWaveConfig(const TWaveConfig& config);

    // Recomputes Points and Colors for Pos, adds Speed to Pos and moves as the base does.
    // Without particles only Pos and the base motion advance.
    void Move() override;

    // Besides the base's arrays, the chain parameter of every particle and a scratch row,
    // so that a frame allocates nothing.
    void AllocateParticles() override;
    void FreeParticles() override;

    // Indexed [wave][axis].
    TWaveComponents Waves{};
    float Speed = 0.0f;
    float Pos = 0.0f;
    float BaseRed = 0.0f;
    float BaseGreen = 0.0f;
    float BaseBlue = 0.0f;
    float AmpRed = 0.0f;
    float AmpGreen = 0.0f;
    float AmpBlue = 0.0f;
    float FreqRed = 0.0f;
    float FreqGreen = 0.0f;
    float FreqBlue = 0.0f;
    float ShiftRed = 0.0f;
    float ShiftGreen = 0.0f;
    float ShiftBlue = 0.0f;

private:
    void ComputePoints();
    void ComputeColors();

    // t_k of particle k in degrees: 0, then step = 360 / N added in single precision per
    // particle. Padded with further steps to a multiple of eight.
    std::vector<float> chain_;
    // X, Y and Z of every particle while their waves are summed; padded like chain_.
    std::array<std::vector<float>, 3> axes_;
    // Per colour channel t_k * frequency / D, and the frequency it was worked out for.
    std::array<std::vector<float>, 3> colorAngles_;
    std::array<float, 3> colorAngleFrequencies_{};
};
