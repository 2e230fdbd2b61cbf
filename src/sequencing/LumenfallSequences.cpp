#include "sequencing/LumenfallSequences.h"

#include "engine/ParticleSystem.h"
#include "graphics/GfxFilters.h"
#include "kinds/ParticleMorphing.h"

#include <utility>

TParticleSequence::TParticleSequence(std::string name, TSequenceControler* controler)
    : TSequence(std::move(name), controler)
{
}

void TParticleSequence::DoFrame()
{
    TSequence::DoFrame();
    if (particleSystem_ == nullptr || surface_ == nullptr)
        throw EParticleSequenceError("TParticleSequence.DoFrame : " + Name() +
                                     " has no particle system or no surface to draw on");
    const auto blur = uint8_t(MotionBlur);
    if (TransMapFilter) {
        if (translationMap_ == nullptr)
            throw EParticleSequenceError("TParticleSequence.DoFrame : " + Name() +
                                         " draws through a translation map but has none");
        surface_->DrawTransformed(*particleSystem_, blur, *translationMap_, TransMapMode);
    } else if (SmoothFilter) {
        if (Controler() == nullptr)
            throw EParticleSequenceError("TParticleSequence.DoFrame : " + Name() +
                                         " smooths in step with its controller but has none");
        // The controller counts the frame only after this call, so its first frame is even.
        surface_->DrawSmoothed(*particleSystem_, blur, Controler()->FrameCount() % 2 == 0);
    } else {
        surface_->Draw(*particleSystem_, blur);
    }
}

TParticleMorphing& TParticleMorphSequence::Morphing(const char* operation) const
{
    auto* morphing = dynamic_cast<TParticleMorphing*>(ParticleSystem());
    if (morphing == nullptr)
        throw EParticleSequenceError(std::string("TParticleMorphSequence.") + operation + " : " + Name() +
                                     " has no morphing system");
    return *morphing;
}

void TParticleMorphSequence::DoStart()
{
    TParticleSequence::DoStart();
    if (ParticleSystem() == nullptr)
        return;
    TParticleMorphing& morphing = Morphing("DoStart");
    morphing.PrepareMorph();
    morphing.SwapEnds();
}

bool TParticleMorphSequence::IsRunning() const
{
    const TParticleMorphing& morphing = Morphing("IsRunning");
    return morphing.FrameCounter() < morphing.Steps();
}
