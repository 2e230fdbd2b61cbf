#pragma once
// Turns one particle system (the source) into another (the target) over a fixed number
// of frames: every particle travels on a straight line from a source particle to a target
// particle while its colour fades, and the whole cloud turns and slides from the source's
// angle and position to the target's.

#include "kinds/ParticlePhysics.h"

#include <cstdint>
#include <memory>

class TParticleMorphing : public TParticlePhysics {
public:
    // The systems are not owned and must keep their particle counts while the morph
    // exists; the morph has as many particles as the larger of the two. A step count
    // below 1 counts as 1.
    TParticleMorphing(TParticleSystem& source, TParticleSystem& target, int32_t steps);
    ~TParticleMorphing() override;

    // Starts a morph from the source as it is now to the target as it is now. Raises
    // EParticleSystemError when an end is empty or a count changed since construction.
    void PrepareMorph();
    // Source and target change places; the next PrepareMorph goes back.
    void SwapEnds();
    // Points move by their velocities; colours change during the first Steps() - 1 frames.
    // Frames after the last step keep moving the points.
    void Move() override;

    void AllocateParticles() override;
    void FreeParticles() override;
    // The count follows from the two ends: always refused.
    void SetParticleCount(int32_t n) override;

    TParticleSystem& Source() const { return *source_; }
    TParticleSystem& Target() const { return *target_; }
    int32_t Steps() const { return steps_; }
    // Frames run since PrepareMorph; the morph has finished at Steps().
    int32_t FrameCounter() const { return frameCounter_; }

private:
    // Channels on the 0 to 255 scale.
    struct TColorChannels {
        float Red;
        float Green;
        float Blue;
    };

    // Particle index starts at the source's point and colour.
    void StartFrom(int32_t index, int32_t sourceIndex);
    // Particle index heads for the target's particle targetIndex.
    void HeadFor(int32_t index, int32_t targetIndex);

    TParticleSystem* source_;
    TParticleSystem* target_;
    int32_t steps_;
    int32_t frameCounter_ = 0;
    std::unique_ptr<TColorChannels[]> currentColors_;
    std::unique_ptr<TColorChannels[]> colorChanges_;
};
