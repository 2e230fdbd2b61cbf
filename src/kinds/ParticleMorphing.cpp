#include "kinds/ParticleMorphing.h"

#include "util/NumericConversion.h"

#include <algorithm>
#include <string>

namespace {

int32_t RedOf(TPixel p) { return int32_t((p >> 16) & 0xFF); }
int32_t GreenOf(TPixel p) { return int32_t((p >> 8) & 0xFF); }
int32_t BlueOf(TPixel p) { return int32_t(p & 0xFF); }

// The i-th of count extra particles is spread evenly over the n particles of an end.
int32_t SpreadIndex(int32_t i, int32_t n, int32_t count) { return int32_t(int64_t(i) * n / count); }

} // namespace

TParticleMorphing::TParticleMorphing(TParticleSystem& source, TParticleSystem& target, int32_t steps)
    : source_(&source), target_(&target), steps_(std::max(steps, 1))
{
    ParticleCount = std::max(source.ParticleCount, target.ParticleCount);
    InitParticles();
}

TParticleMorphing::~TParticleMorphing() { TParticleMorphing::FreeParticles(); }

void TParticleMorphing::PrepareMorph()
{
    const TParticleSystem& source = *source_;
    const TParticleSystem& target = *target_;
    const int32_t sourceCount = source.ParticleCount;
    const int32_t targetCount = target.ParticleCount;
    // The arrays were sized for the counts at construction; anything else would index
    // past them or leave particles without a start or a goal.
    if (sourceCount < 1 || targetCount < 1 || std::max(sourceCount, targetCount) != ParticleCount)
        throw EParticleSystemError("TParticleMorphing.PrepareMorph : Cannot morph " + std::to_string(sourceCount) +
                                   " into " + std::to_string(targetCount) + " particles with " +
                                   std::to_string(ParticleCount));
    const float n = float(steps_);
    frameCounter_ = 0;

    // The turn is not taken the short way: both angles are brought into one turn first.
    Angle = source.Angle;
    Rot = VectorDiv(VectorSub(NormalizeAngles(target.Angle), NormalizeAngles(source.Angle)), n);
    Position = source.Position;
    Velocity = VectorDiv(VectorSub(target.Position, source.Position), n);
    SetRenderMode(source.RenderMode);

    for (int32_t i = 0; i < sourceCount; ++i)
        StartFrom(i, i);
    // Surplus particles start on evenly spread source particles ...
    for (int32_t j = 0; j < targetCount - sourceCount; ++j)
        StartFrom(sourceCount + j, SpreadIndex(j, sourceCount, targetCount - sourceCount));
    for (int32_t i = 0; i < targetCount; ++i)
        HeadFor(i, i);
    // ... or head for evenly spread target particles.
    for (int32_t j = 0; j < sourceCount - targetCount; ++j)
        HeadFor(targetCount + j, SpreadIndex(j, targetCount, sourceCount - targetCount));
}

void TParticleMorphing::StartFrom(int32_t index, int32_t sourceIndex)
{
    const TPixel color = source_->Colors[sourceIndex];
    Points[index] = source_->Points[sourceIndex];
    Colors[index] = color;
    currentColors_[index] = {float(RedOf(color)), float(GreenOf(color)), float(BlueOf(color))};
}

void TParticleMorphing::HeadFor(int32_t index, int32_t targetIndex)
{
    const float n = float(steps_);
    const TPixel from = Colors[index];
    const TPixel to = target_->Colors[targetIndex];
    Velocities[index] = VectorDiv(VectorSub(target_->Points[targetIndex], Points[index]), n);
    colorChanges_[index] = {float(RedOf(to) - RedOf(from)) / n, float(GreenOf(to) - GreenOf(from)) / n,
                            float(BlueOf(to) - BlueOf(from)) / n};
}

void TParticleMorphing::SwapEnds() { std::swap(source_, target_); }

void TParticleMorphing::Move()
{
    // Steps - 1 colour updates: the last step of the fade is never taken.
    if (frameCounter_ < steps_ - 1) {
        for (int32_t i = 0; i < ParticleCount; ++i) {
            TColorChannels& c = currentColors_[i];
            const TColorChannels& d = colorChanges_[i];
            c = {c.Red + d.Red, c.Green + d.Green, c.Blue + d.Blue};
            Colors[i] = MakePixel(TruncToInt(c.Red), TruncToInt(c.Green), TruncToInt(c.Blue));
        }
    }
    // A finished morph may be moved on indefinitely without the counter overflowing.
    if (frameCounter_ < INT32_MAX)
        ++frameCounter_;
    TParticlePhysics::Move();
}

void TParticleMorphing::AllocateParticles()
{
    TParticleMorphing::FreeParticles();
    TParticlePhysics::AllocateParticles();
    currentColors_ = AllocateParticleArray<TColorChannels>(ParticleCount, "TParticleMorphing.AllocateParticles");
    colorChanges_ = AllocateParticleArray<TColorChannels>(ParticleCount, "TParticleMorphing.AllocateParticles");
}

void TParticleMorphing::FreeParticles()
{
    TParticlePhysics::FreeParticles();
    currentColors_.reset();
    colorChanges_.reset();
}

void TParticleMorphing::SetParticleCount(int32_t)
{
    throw EParticleSystemError("TParticleMorphing.SetParticleCount : Cannot set ParticleCount of TParticleMorphing");
}
