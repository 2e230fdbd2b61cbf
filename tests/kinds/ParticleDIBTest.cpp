#include "kinds/ParticleDIB.h"

#include "kinds/KindsTestSupport.h"

#include <gtest/gtest.h>

TEST(ParticleDIBTest, ParticlesArePixelsAndWrapOnACylinder)
{
    TParticleDIB band(4, 2);
    EXPECT_EQ(band.ParticleCount, 8);
    // Drawing into the raster is recolouring the particles.
    band.DIB().FillRect({2, 1, 2, 1}, MakePixel(1, 2, 3));
    EXPECT_EQ(band.Colors[6], MakePixel(1, 2, 3));

    band.WrapOnCylinder(10, 2);
    const TVector3d column1Row0 = band.Points[1];
    EXPECT_NEAR(column1Row0.X, 0, 1e-5f);
    EXPECT_EQ(column1Row0.Y, -1);
    EXPECT_NEAR(column1Row0.Z, 10, 1e-5f);
    const TVector3d column2Row1 = band.Points[6];
    EXPECT_NEAR(column2Row1.X, -10, 1e-5f);
    EXPECT_EQ(column2Row1.Y, 0);
    EXPECT_NEAR(column2Row1.Z, 0, 1e-5f);
}

TEST(ParticleDIBTest, SizeIsFixed)
{
    TParticleDIB band(4, 2);
    ExpectCountRefused(band, "TParticleDIB.SetParticleCount : Cannot set ParticleCount of TParticleDIB");
    EXPECT_EQ(band.Colors, band.DIB().Bits());

    // An odd width is the raster's even width, so rows of particles stay rows of pixels.
    TParticleDIB odd(3, 3);
    EXPECT_EQ(odd.Width(), 4);
    EXPECT_EQ(odd.ParticleCount, 12);
    odd.DIB().FillRect({0, 2, 0, 2}, 1);
    EXPECT_EQ(odd.Colors[8], 1u);

    EXPECT_THROW(TParticleDIB(-2, 4), EParticleSystemError);
    EXPECT_THROW(TParticleDIB(32768, 65536), EParticleSystemError);
}
