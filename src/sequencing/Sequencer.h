#pragma once
// Timed show items and the controller that runs them one after another.
//
// Each item measures its own running time from the shared millisecond clock
// (SequencerTime) and decides by itself when it is done; the controller, driven with one
// Frame call per displayed frame, then stops it and starts the next, looping or stopping
// after the last. Every time difference is the 32-bit modular difference now - then, so it
// stays right across the clock's wrap-around for intervals shorter than 2^31 ms.

#include "persistence/ReflectiveObjectList.h"
#include "util/Exception.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

LUMENFALL_DECLARE_EXCEPTION(ESequencerError, Exception);

// The show's millisecond clock: a monotonic system clock unless replaced.
uint32_t SequencerTime();

using TSequencerClock = std::function<uint32_t()>;

// Replaces the clock (tests, rendering without a display); an empty function restores the
// monotonic clock. Returns the clock that was in force.
TSequencerClock SetSequencerClock(TSequencerClock clock);

// Replaces the clock for its lifetime and puts the previous one back afterwards.
class ScopedSequencerClock {
public:
    explicit ScopedSequencerClock(TSequencerClock clock);
    ~ScopedSequencerClock();
    ScopedSequencerClock(const ScopedSequencerClock&) = delete;
    ScopedSequencerClock& operator=(const ScopedSequencerClock&) = delete;

private:
    TSequencerClock previous_;
};

class TSequenceControler;

// One timed item of a show. Published: "Name" and "Duration" (milliseconds, 8000 at
// creation).
class TSequence : public TReflectivePersistent {
    LUMENFALL_REFLECTIVE_CLASS(TSequence, TReflectivePersistent)

    TSequence() = default;
    TSequence(std::string name, TSequenceControler* controler);
    // Stops the item first. Only TSequence's DoStop runs here: a subclass whose DoStop
    // matters calls Stop in its own destructor.
    ~TSequence() override;

    int32_t Duration() const { return duration_; }
    void SetDuration(int32_t duration) { duration_ = duration; }
    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    uint32_t StartTime() const { return startTime_; }
    TSequenceControler* Controler() const { return controler_; }
    bool Started() const { return started_; }

    // Runs DoStart unless the item is started already; restarts its clock in every case.
    void Start();
    // Runs DoStop if the item is started.
    void Stop();
    void Frame() { DoFrame(); }
    // Milliseconds since the last Start, capped at Duration, so the last frame of a timed
    // item is computed exactly at its end.
    int32_t Elapsed() const;

    // Whether the item wants further frames: Elapsed < Duration here.
    virtual bool IsRunning() const;

protected:
    virtual void DoStart() {}
    virtual void DoStop() {}
    virtual void DoFrame() {}

private:
    int32_t duration_ = 8000;
    uint32_t startTime_ = 0;
    std::string name_;
    TSequenceControler* controler_ = nullptr;
    bool started_ = false;
};

// A persistable list that owns its sequences.
class TSequenceList : public TReflectiveObjectList {
    LUMENFALL_REFLECTIVE_CLASS(TSequenceList, TReflectiveObjectList)

    int Add(std::unique_ptr<TSequence> sequence) { return TReflectiveObjectList::Add(std::move(sequence)); }
    // Raises ESequencerError for an item that is not a sequence (a list read from a bag
    // may hold any reflective class).
    TSequence* Items(int index) const;
};

// The items of a show in order, owned elsewhere. The same item may stand in it more than once.
class TSequenceView {
public:
    int Add(TSequence* sequence);
    void Clear() { items_.clear(); }
    int Count() const { return int(items_.size()); }
    // Raises ESequencerError outside 0 to Count() - 1.
    TSequence* Items(int index) const;

private:
    std::vector<TSequence*> items_;
};

// Walks through its list of sequences, one Frame call per displayed frame, and measures
// the frame rate. It never frees the sequences; their creator does.
class TSequenceControler {
public:
    TSequenceControler() = default;
    TSequenceControler(const TSequenceControler&) = delete;
    TSequenceControler& operator=(const TSequenceControler&) = delete;

    // Items are added here, in show order, before Start.
    TSequenceView& Sequences() { return sequences_; }
    const TSequenceView& Sequences() const { return sequences_; }
    int32_t CurrentIndex() const { return currentIndex_; }
    bool Loop() const { return loop_; }
    bool Running() const { return running_; }
    // Frames since Start; it wraps rather than overflows.
    int32_t FrameCount() const { return frameCount_; }
    int32_t FPSFrameCount() const { return fpsFrameCount_; }
    uint32_t FPSStartTime() const { return fpsStartTime_; }

    void SetLoop(bool loop) { loop_ = loop; }
    // Runs from the first item; an empty list raises ESequencerError.
    void Start();
    void Stop();
    // Stops the current item and starts the one at index (none for a negative index). An
    // index beyond the list raises ESequencerError and changes nothing.
    void SetCurrent(int32_t index);
    void First() { SetCurrent(0); }
    // The following item; after the last one the first again with Loop, else Stop.
    void Next();
    // The item at CurrentIndex, or null when there is none.
    TSequence* Current() const;

    // One displayed frame: the current item's frame, and when the item is done one last
    // frame of it (at its capped end time) and the change to the next item.
    void Frame();

    // Frames per second since the last ResetFPS; 0 before a millisecond has passed.
    double FramesPerSecond() const;
    void ResetFPS();
    int32_t FPSElapsed() const;

private:
    TSequenceView sequences_;
    int32_t currentIndex_ = -1;
    bool loop_ = false;
    bool running_ = false;
    int32_t frameCount_ = 0;
    int32_t fpsFrameCount_ = 0;
    uint32_t fpsStartTime_ = 0;
};
