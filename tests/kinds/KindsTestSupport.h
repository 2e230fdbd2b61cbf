#pragma once
// Helpers shared by the tests of the particle-system kinds.

#include "engine/ParticleSystem.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <string>

inline int64_t LitPixels(const TDIBRaster& raster)
{
    int64_t lit = 0;
    for (int64_t i = 0; i < raster.PixelCount(); ++i)
        lit += raster.Bits()[i] != 0;
    return lit;
}

inline void ExpectCountRefused(TParticleSystem& system, const std::string& message)
{
    const int32_t count = system.ParticleCount;
    try {
        system.SetParticleCount(count + 1);
        ADD_FAILURE() << "no exception";
    } catch (const EParticleSystemError& e) {
        EXPECT_EQ(e.Message(), message);
    }
    EXPECT_EQ(system.ParticleCount, count);
}

// The viewer the saver sets up for a w x h drawing area.
inline TWorld3d MakeSaverWorld(int32_t w, int32_t h)
{
    return TWorld3d(ZeroPosition, -float((w + h) / 2), ZeroAngle, {w / 2, h / 2});
}

// One frame of a system into a cleared raster.
inline void DrawFrame(TParticleSystem& system, TDIBRaster& raster)
{
    raster.FillRect({0, 0, raster.Width() - 1, raster.Height() - 1}, 0);
    system.Raster = &raster;
    system.Transform();
    system.Project();
    system.Render();
}

// Frames are kept for a human to look at when LUMENFALL_RENDER_DIR names a folder.
inline void KeepFrame(const TDIBRaster& raster, const std::string& name)
{
    const char* dir = std::getenv("LUMENFALL_RENDER_DIR");
    if (dir && *dir)
        raster.Image().save(QString::fromStdString(std::string(dir) + "/" + name + ".png"));
}
