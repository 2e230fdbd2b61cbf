#include "engine/ParticleSystem.h"

#include "util/NumericConversion.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

constexpr size_t kArrayAlignment = 64;

size_t AlignedSize(size_t bytes) { return (bytes + kArrayAlignment - 1) / kArrayAlignment * kArrayAlignment; }

// Plotting that reads pixels waits on cache misses when the raster is larger than the
// caches; asking early for the pixels a few particles ahead keeps several misses in
// flight. Plain stores do not wait, so overwriting goes without.
constexpr int32_t kPrefetchDistance = 16;

// A prefetch never faults, so a point outside the raster needs no test; the address is
// formed in integers so that it stays defined whatever the point.
inline void PrefetchPixel(const TDIBRaster& raster, uint32_t x, uint32_t y)
{
    const uintptr_t offset = (uintptr_t(y) * uint32_t(raster.Width()) + x) * sizeof(TPixel);
    __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(raster.Bits()) + offset), 1);
}

// Plots every particle that lands inside the raster; anything else (including the
// INT32_MIN of a point at the eye) fails the unsigned test.
template <bool ReadsPixel, class TCombine>
void PlotInside(TDIBRaster& raster, const TScreenPoint* points, const TPixel* colors, int32_t count,
                TCombine combine)
{
    TPixel* bits = raster.Bits();
    const uint32_t w = uint32_t(raster.Width());
    const uint32_t h = uint32_t(raster.Height());
    for (int32_t i = 0; i < count; ++i) {
        if (ReadsPixel && i < count - kPrefetchDistance)
            PrefetchPixel(raster, uint32_t(points[i + kPrefetchDistance].X), uint32_t(points[i + kPrefetchDistance].Y));
        const TScreenPoint p = points[i];
        if (uint32_t(p.X) < w && uint32_t(p.Y) < h) {
            TPixel& pixel = bits[size_t(p.Y) * w + uint32_t(p.X)];
            pixel = combine(pixel, colors[i]);
        }
    }
}

} // namespace

TParticleSystem::~TParticleSystem()
{
    // Only the base's own arrays; a derived destructor has already freed its own.
    TParticleSystem::FreeParticles();
}

void TParticleSystem::Move()
{
    Angle = VectorAdd(Angle, Rot);
    Position = VectorAdd(Position, Velocity);
}

void TParticleSystem::Transform()
{
    if (!World || ParticleCount < 1)
        return;
    RotatePoints(Points, ViewPoints, ParticleCount, VectorSub(Angle, World->Angle));
    const TVector3d offset =
        RotatePoint(VectorSub(Position, World->Position), VectorSub(ZeroAngle, World->Angle));
    TranslatePoints(ViewPoints, ViewPoints, ParticleCount, offset);
}

void TParticleSystem::Project()
{
    if (!World || ParticleCount < 1)
        return;
    ProjectPoints(ViewPoints, ScreenPoints, ParticleCount, World->Center, World->EyeZ);
}

void TParticleSystem::Render()
{
    if (!Raster || ParticleCount < 1)
        return;
    (this->*plot_)();
}

double TParticleSystem::ShareOutsideRaster() const
{
    if (!Raster || ParticleCount < 1)
        return 0;
    const int32_t w = Raster->Width(), h = Raster->Height();
    const int64_t outside = std::count_if(ScreenPoints, ScreenPoints + ParticleCount, [&](const TScreenPoint& p) {
        return p.X < 0 || p.Y < 0 || p.X >= w || p.Y >= h;
    });
    return double(outside) / double(ParticleCount);
}

void TParticleSystem::AllocateParticles()
{
    TParticleSystem::FreeParticles();
    if (ParticleCount < 1)
        return;
    const size_t n = size_t(ParticleCount);
    const size_t pointBytes = AlignedSize(n * sizeof(TVector3d));
    const size_t screenBytes = AlignedSize(n * sizeof(TScreenPoint));
    const size_t colorBytes = AlignedSize(n * sizeof(TPixel));
    auto* block = static_cast<std::byte*>(std::aligned_alloc(kArrayAlignment, 2 * pointBytes + screenBytes + colorBytes));
    if (!block)
        throw EParticleSystemError("TParticleSystem.AllocateParticles : Out of memory for " +
                                   std::to_string(ParticleCount) + " particles");
    storage_.reset(block);
    Points = reinterpret_cast<TVector3d*>(block);
    ViewPoints = reinterpret_cast<TVector3d*>(block + pointBytes);
    ScreenPoints = reinterpret_cast<TScreenPoint*>(block + 2 * pointBytes);
    Colors = reinterpret_cast<TPixel*>(block + 2 * pointBytes + screenBytes);
}

void TParticleSystem::FreeParticles()
{
    storage_.reset();
    Points = nullptr;
    ViewPoints = nullptr;
    ScreenPoints = nullptr;
    Colors = nullptr;
}

void TParticleSystem::SetParticleCount(int32_t n)
{
    FreeParticles();
    ParticleCount = 0;
    if (n < 0)
        throw EParticleSystemError("TParticleSystem.SetParticleCount : Cannot set ParticleCount to " +
                                   std::to_string(n));
    ParticleCount = n;
    try {
        InitParticles();
    } catch (...) {
        FreeParticles();
        ParticleCount = 0;
        throw;
    }
}

void TParticleSystem::InitParticles()
{
    AllocateParticles();
    ClearParticles();
}

void TParticleSystem::ClearParticles()
{
    std::fill_n(Points, ParticleCount, ZeroPosition);
    std::fill_n(Colors, ParticleCount, TPixel(0));
}

void TParticleSystem::SetRenderMode(TRenderMode mode)
{
    RenderMode = mode;
    switch (mode) {
    case TRenderMode::rmDraw:
        plot_ = &TParticleSystem::PlotDots;
        break;
    case TRenderMode::rmDrawMixMode:
        plot_ = &TParticleSystem::PlotMix;
        break;
    case TRenderMode::rmDrawStars:
        plot_ = &TParticleSystem::PlotStars;
        break;
    }
}

void TParticleSystem::PlotDots()
{
    PlotInside<false>(*Raster, ScreenPoints, Colors, ParticleCount, [](TPixel, TPixel color) { return color; });
}

void TParticleSystem::PlotMix()
{
    PlotInside<true>(*Raster, ScreenPoints, Colors, ParticleCount,
                     [](TPixel pixel, TPixel color) { return AddShifted(pixel, color, 1); });
}

void TParticleSystem::PlotStars()
{
    // The raster leaves out the outermost rows and columns.
    for (int32_t i = 0; i < ParticleCount; ++i) {
        if (i < ParticleCount - kPrefetchDistance) {
            const uint32_t x = uint32_t(ScreenPoints[i + kPrefetchDistance].X);
            const uint32_t y = uint32_t(ScreenPoints[i + kPrefetchDistance].Y);
            PrefetchPixel(*Raster, x, y - 1);
            PrefetchPixel(*Raster, x, y);
            PrefetchPixel(*Raster, x, y + 1);
        }
        Raster->PlotStar(ScreenPoints[i].X, ScreenPoints[i].Y, Colors[i]);
    }
}

void TParticleSystem::GridFromRaster(const TDIBRaster& raster, float extentX, float extentY)
{
    const int32_t n = ParticleCount;
    const int32_t w = raster.Width();
    const int32_t h = raster.Height();
    if (n < 1 || w < 1 || h < 1)
        return;
    const float cell = std::sqrt(float(int64_t(w) * h) / float(n));
    const int32_t nx = TruncToInt(float(w) / cell);
    const int32_t ny = TruncToInt(float(h) / cell);
    if (nx < 1 || ny < 1)
        return;
    if (h < w)
        extentY = float(ny) * extentX / float(nx);
    else
        extentX = float(nx) * extentY / float(ny);
    for (int32_t i = 0; i < nx; ++i) {
        const float x = float(i) * extentX / float(nx) - extentX / 2.0f;
        const int32_t sourceX = int32_t(int64_t(w) * i / nx);
        for (int32_t j = 0; j < ny; ++j) {
            // Rounding of the cell size can make the grid a little larger than the cloud.
            const int64_t k = int64_t(j) * nx + i;
            if (k >= n)
                break;
            Points[k] = {x, float(j) * extentY / float(ny) - extentY / 2.0f, 0.0f};
            Colors[k] = raster.GetPixel(sourceX, int32_t(int64_t(h) * j / ny));
        }
    }
}

void TParticleSystem::MaskFromRaster(const TDIBRaster& raster, TPixel background, int32_t tolerance, float extentX,
                                     float extentY)
{
    const int32_t n = ParticleCount;
    const int32_t w = raster.Width();
    const int32_t h = raster.Height();
    if (n < 1 || w < 1 || h < 1)
        return;
    const TPixel* bits = raster.Bits();
    auto isForeground = [&](TPixel pixel) { return ColorDistance(pixel, background) > tolerance; };
    const int64_t foreground = std::count_if(bits, bits + raster.PixelCount(), isForeground);
    if (foreground == 0)
        return;
    if (h < w)
        extentY = float(h) * extentX / float(w);
    else
        extentX = float(w) * extentY / float(h);
    // The k-th foreground pixel in column order goes to particle n * k / foreground, which
    // spreads them evenly; where several share a particle the last one wins.
    int64_t k = 0;
    for (int32_t x = 0; x < w; ++x) {
        const float pointX = float(x) * extentX / float(w) - extentX / 2.0f;
        for (int32_t y = 0; y < h; ++y) {
            const TPixel pixel = bits[int64_t(y) * w + x];
            if (!isForeground(pixel))
                continue;
            const int64_t p = int64_t(n) * k / foreground;
            Points[p] = {pointX, float(y) * extentY / float(h) - extentY / 2.0f, 0.0f};
            Colors[p] = pixel;
            ++k;
        }
    }
}
