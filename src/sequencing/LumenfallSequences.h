#pragma once
// Show items that draw: one particle system per frame onto the drawing surface, with the
// item's own motion blur and filter choice, and morph items that prepare their morph on
// every start and end when it has done its steps. Items refer to the systems, the map and
// the surface; they own none of them.

#include "graphics/DrawingSurface.h"
#include "sequencing/Sequencer.h"

#include <cstdint>
#include <string>

class TParticleSystem;
class TTranslationMap;
class TParticleMorphing;

// A show item used without what it draws with.
LUMENFALL_DECLARE_EXCEPTION(EParticleSequenceError, ESequencerError);

class TParticleSequence : public TSequence {
public:
    TParticleSequence(std::string name, TSequenceControler* controler);

    TParticleSystem* ParticleSystem() const { return particleSystem_; }
    void SetParticleSystem(TParticleSystem* system) { particleSystem_ = system; }
    TTranslationMap* TranslationMap() const { return translationMap_; }
    void SetTranslationMap(TTranslationMap* map) { translationMap_ = map; }
    TDrawingSurface* Surface() const { return surface_; }
    void SetSurface(TDrawingSurface* surface) { surface_ = surface; }

    // Motion-blur level; the surface receives its low eight bits.
    int32_t MotionBlur = 0;
    TTransMapMode TransMapMode = TTransMapMode::tmmApplyBefore;
    bool SmoothFilter = false;
    // Takes precedence over SmoothFilter: the map path smooths anyway.
    bool TransMapFilter = false;

protected:
    // Draws through the map, smoothed (the rasters alternating with the controller's frame
    // count), or plainly. A missing system or surface, or a missing map or controller on
    // the path that needs it, raises EParticleSequenceError.
    void DoFrame() override;

private:
    TParticleSystem* particleSystem_ = nullptr;
    TTranslationMap* translationMap_ = nullptr;
    TDrawingSurface* surface_ = nullptr;
};

// Draws a morphing system, which must be set as its particle system. Each start prepares
// the morph and swaps its ends, so successive runs go forward and back; the item ends
// when the morph has done its steps, whatever its Duration.
class TParticleMorphSequence : public TParticleSequence {
public:
    using TParticleSequence::TParticleSequence;

    // The morph has done fewer frames than it has steps.
    bool IsRunning() const override;

protected:
    void DoStart() override;

private:
    // The particle system as a morph; raises EParticleSequenceError when it is none.
    TParticleMorphing& Morphing(const char* operation) const;
};
