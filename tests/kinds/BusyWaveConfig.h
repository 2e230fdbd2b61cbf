#pragma once
// A wave preset that keeps every sine of the wave system busy, for tests and benchmarks.

#include "kinds/LumenfallCfg.h"

#include <cstdint>

// All nine waves modulated and the three colour waves running.
inline void MakeBusy(TWaveConfig& config, int32_t particles)
{
    config.ParticleCount = particles;
    float v = 0.7f;
    for (auto& wave : config.Waves)
        for (TWaveComponent& c : wave) {
            c = {v * 40.0f, 60.0f + v * 10.0f, 20.0f * v, 3.0f * v, 1.0f + v, 0.5f * v, 2.0f * v};
            v += 0.37f;
        }
    config.Pos = 3.7f;
    config.BaseRed = 128.0f;
    config.AmpRed = 127.0f;
    config.BaseGreen = 100.0f;
    config.AmpGreen = 200.0f;
    config.FreqGreen = 3.0f;
    config.BaseBlue = 20.0f;
    config.AmpBlue = 90.0f;
    config.FreqBlue = 7.5f;
}
