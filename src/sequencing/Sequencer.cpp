#include "sequencing/Sequencer.h"

#include <chrono>
#include <utility>

namespace {

uint32_t MonotonicMilliseconds()
{
    const auto sinceEpoch = std::chrono::steady_clock::now().time_since_epoch();
    // The clock runs modulo 2^32 ms, like every difference taken from it.
    return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count());
}

TSequencerClock& ActiveClock()
{
    static TSequencerClock clock = MonotonicMilliseconds;
    return clock;
}

// Counters that run for months wrap instead of overflowing.
void IncrementWrapping(int32_t& counter) { counter = int32_t(uint32_t(counter) + 1u); }

const TReflectiveClassRegistration<TSequence> sequenceRegistration;
const TReflectiveClassRegistration<TSequenceList> sequenceListRegistration;

} // namespace

uint32_t SequencerTime() { return ActiveClock()(); }

TSequencerClock SetSequencerClock(TSequencerClock clock)
{
    if (!clock)
        clock = MonotonicMilliseconds;
    return std::exchange(ActiveClock(), std::move(clock));
}

ScopedSequencerClock::ScopedSequencerClock(TSequencerClock clock) : previous_(SetSequencerClock(std::move(clock))) {}

ScopedSequencerClock::~ScopedSequencerClock() { SetSequencerClock(std::move(previous_)); }

// ---- TSequence ----

void TSequence::DeclareProperties(TPropertyDeclarer<TSequence>& p)
{
    p.Property("Duration", &TSequence::Duration, &TSequence::SetDuration)
        .Property("Name", &TSequence::Name, &TSequence::SetName);
}

TSequence::TSequence(std::string name, TSequenceControler* controler)
    : name_(std::move(name)), controler_(controler)
{
}

TSequence::~TSequence() { Stop(); }

void TSequence::Start()
{
    if (!started_) {
        DoStart();
        started_ = true;
    }
    startTime_ = SequencerTime();
}

void TSequence::Stop()
{
    if (started_) {
        DoStop();
        started_ = false;
    }
}

int32_t TSequence::Elapsed() const
{
    const auto elapsed = int32_t(SequencerTime() - startTime_);
    return elapsed > duration_ ? duration_ : elapsed;
}

bool TSequence::IsRunning() const { return Elapsed() < duration_; }

// ---- TSequenceList ----

void TSequenceList::DeclareProperties(TPropertyDeclarer<TSequenceList>&) {}

TSequence* TSequenceList::Items(int index) const
{
    TReflectivePersistent* item = TReflectiveObjectList::Items(index);
    if (item == nullptr)
        return nullptr;
    auto* sequence = dynamic_cast<TSequence*>(item);
    if (sequence == nullptr)
        throw ESequencerError("TSequenceList.Items : item " + std::to_string(index) + " is a " + item->ClassName() +
                              ", not a sequence");
    return sequence;
}

// ---- TSequenceView ----

int TSequenceView::Add(TSequence* sequence)
{
    items_.push_back(sequence);
    return Count() - 1;
}

TSequence* TSequenceView::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw ESequencerError("TSequenceView.Items : List index out of bounds (" + std::to_string(index) + ")");
    return items_[size_t(index)];
}

// ---- TSequenceControler ----

void TSequenceControler::Start()
{
    if (sequences_.Count() == 0)
        throw ESequencerError("TSequenceControler.Start : the show has no sequences");
    running_ = true;
    frameCount_ = 0;
    ResetFPS();
    First();
}

void TSequenceControler::Stop()
{
    SetCurrent(-1);
    running_ = false;
}

void TSequenceControler::SetCurrent(int32_t index)
{
    if (index >= sequences_.Count())
        throw ESequencerError("TSequenceControler.SetCurrent : index " + std::to_string(index) +
                              " is beyond the list of " + std::to_string(sequences_.Count()) + " sequences");
    if (TSequence* current = Current())
        current->Stop();
    currentIndex_ = index;
    if (TSequence* next = Current())
        next->Start();
}

void TSequenceControler::Next()
{
    if (currentIndex_ < sequences_.Count() - 1)
        SetCurrent(currentIndex_ + 1);
    else if (loop_)
        First();
    else
        Stop();
}

TSequence* TSequenceControler::Current() const
{
    return currentIndex_ < 0 ? nullptr : sequences_.Items(currentIndex_);
}

void TSequenceControler::Frame()
{
    if (!running_)
        return;
    TSequence* item = Current();
    // A running controller without a current item (SetCurrent(-1) without Stop) idles.
    if (item == nullptr)
        return;
    item->Frame();
    IncrementWrapping(frameCount_);
    IncrementWrapping(fpsFrameCount_);
    if (item->IsRunning())
        return;
    if (item->Started())
        item->Frame();
    Next();
}

double TSequenceControler::FramesPerSecond() const
{
    const uint32_t elapsed = SequencerTime() - fpsStartTime_;
    if (elapsed == 0)
        return 0.0;
    return double(fpsFrameCount_) * 1000.0 / double(elapsed);
}

void TSequenceControler::ResetFPS()
{
    fpsFrameCount_ = 0;
    fpsStartTime_ = SequencerTime();
}

int32_t TSequenceControler::FPSElapsed() const { return int32_t(SequencerTime() - fpsStartTime_); }
