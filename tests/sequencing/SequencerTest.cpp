#include "sequencing/Sequencer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A simulated clock the tests move by hand.
class SequencerClockTest : public ::testing::Test {
protected:
    uint32_t now = 1000;
    ScopedSequencerClock clock{[this] { return now; }};
};

using TLog = std::vector<std::string>;

// Records every start, stop and frame into a shared log.
class TProbeSequence : public TSequence {
public:
    TProbeSequence(const std::string& name, TSequenceControler* controler, TLog& log, int32_t duration)
        : TSequence(name, controler), log_(log)
    {
        SetDuration(duration);
    }

protected:
    void DoStart() override { log_.push_back(Name() + ".start"); }
    void DoStop() override { log_.push_back(Name() + ".stop"); }
    void DoFrame() override { log_.push_back(Name() + ".frame"); }

private:
    TLog& log_;
};

} // namespace

TEST_F(SequencerClockTest, ItemsWithoutDurationGetTwoFramesAndHandOverInTheSameCall)
{
    TLog log;
    TSequenceControler controler;
    TProbeSequence a("A", &controler, log, 0);
    TProbeSequence b("B", &controler, log, -5);
    TProbeSequence c("C", &controler, log, 1000);
    controler.Sequences().Add(&a);
    controler.Sequences().Add(&b);
    controler.Sequences().Add(&c);
    controler.Start();
    EXPECT_EQ(log, (TLog{"A.start"}));

    log.clear();
    controler.Frame();
    EXPECT_EQ(log, (TLog{"A.frame", "A.frame", "A.stop", "B.start"}));
    EXPECT_EQ(controler.Current(), &b);
    EXPECT_EQ(controler.FrameCount(), 1); // one display frame, although A had two

    log.clear();
    controler.Frame();
    EXPECT_EQ(log, (TLog{"B.frame", "B.frame", "B.stop", "C.start"}));
    EXPECT_EQ(controler.Current(), &c);
    EXPECT_EQ(controler.FrameCount(), 2);
}

TEST_F(SequencerClockTest, LoopWithOneItemPreparesItAfreshAndRestartsItsClock)
{
    TLog log;
    TSequenceControler controler;
    TProbeSequence a("A", &controler, log, 100);
    controler.Sequences().Add(&a);
    controler.SetLoop(true);
    controler.Start();
    EXPECT_EQ(a.StartTime(), 1000u);

    now = 1050;
    controler.Frame();
    EXPECT_EQ(a.Elapsed(), 50);
    now = 1230; // late: the item's last frame still sees its end time
    log.clear();
    controler.Frame();
    EXPECT_EQ(log, (TLog{"A.frame", "A.frame", "A.stop", "A.start"}));
    EXPECT_TRUE(controler.Running());
    EXPECT_EQ(controler.Current(), &a);
    EXPECT_TRUE(a.Started());
    EXPECT_EQ(a.StartTime(), 1230u);
    EXPECT_EQ(a.Elapsed(), 0);
}

TEST_F(SequencerClockTest, WithoutLoopTheControlerStopsAfterTheLastItemAndThenIdles)
{
    TLog log;
    TSequenceControler controler;
    TProbeSequence a("A", &controler, log, 100);
    controler.Sequences().Add(&a);
    controler.Start();
    now = 1100;
    controler.Frame();
    EXPECT_FALSE(controler.Running());
    EXPECT_EQ(controler.Current(), nullptr);
    EXPECT_EQ(controler.CurrentIndex(), -1);
    EXPECT_FALSE(a.Started());
    EXPECT_EQ(log.back(), "A.stop");

    log.clear();
    controler.Frame();
    controler.Frame();
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(controler.FrameCount(), 1);
}

TEST_F(SequencerClockTest, ElapsedIsCappedAndARestartOnlyResetsTheClock)
{
    TLog log;
    TProbeSequence a("A", nullptr, log, 1000);
    a.Start();
    now = 1500;
    EXPECT_EQ(a.Elapsed(), 500);
    EXPECT_TRUE(a.IsRunning());
    now = 7000;
    EXPECT_EQ(a.Elapsed(), 1000);
    EXPECT_FALSE(a.IsRunning());

    a.Start(); // already started: no second DoStart
    EXPECT_EQ(log, (TLog{"A.start"}));
    EXPECT_EQ(a.Elapsed(), 0);
    a.Stop();
    a.Stop();
    EXPECT_EQ(log, (TLog{"A.start", "A.stop"}));
}

TEST_F(SequencerClockTest, AnItemTwiceInTheListIsStartedAfreshEachTime)
{
    TLog log;
    TSequenceControler controler;
    TProbeSequence a("A", &controler, log, 100);
    TProbeSequence b("B", &controler, log, 100);
    controler.Sequences().Add(&a);
    controler.Sequences().Add(&b);
    controler.Sequences().Add(&a);
    controler.Start();
    for (int i = 0; i < 3; ++i) {
        now += 100;
        controler.Frame();
    }
    EXPECT_EQ(log, (TLog{"A.start", "A.frame", "A.frame", "A.stop", "B.start", "B.frame", "B.frame", "B.stop",
                         "A.start", "A.frame", "A.frame", "A.stop"}));
    EXPECT_FALSE(controler.Running());
}

TEST_F(SequencerClockTest, FramesPerSecond)
{
    TSequenceControler controler;
    TSequence item("item", &controler);
    controler.Sequences().Add(&item);
    controler.Start();
    EXPECT_EQ(controler.FramesPerSecond(), 0.0); // no millisecond has passed yet
    for (int i = 0; i < 100; ++i) {
        now += 20;
        controler.Frame();
    }
    EXPECT_EQ(controler.FPSElapsed(), 2000);
    EXPECT_DOUBLE_EQ(controler.FramesPerSecond(), 50.0);

    controler.ResetFPS();
    EXPECT_EQ(controler.FPSFrameCount(), 0);
    EXPECT_EQ(controler.FPSStartTime(), now);
    EXPECT_EQ(controler.FrameCount(), 100);
}

TEST_F(SequencerClockTest, ClockWrapAroundKeepsTheTrueDifferences)
{
    now = 0xFFFFFF00u;
    TSequenceControler controler;
    TSequence item("item", &controler);
    controler.Sequences().Add(&item);
    controler.Start();
    now = 0x00000100u;
    EXPECT_EQ(item.Elapsed(), 512);
    EXPECT_TRUE(item.IsRunning());
    EXPECT_EQ(controler.FPSElapsed(), 512);
    controler.Frame();
    EXPECT_DOUBLE_EQ(controler.FramesPerSecond(), 1000.0 / 512.0);
}

TEST_F(SequencerClockTest, EmptyShowsAndIndicesBeyondTheListAreRefused)
{
    TSequenceControler controler;
    EXPECT_THROW(controler.Start(), ESequencerError);
    EXPECT_FALSE(controler.Running());

    TLog log;
    TProbeSequence a("A", &controler, log, 100);
    controler.Sequences().Add(&a);
    controler.Start();
    try {
        controler.SetCurrent(1);
        FAIL();
    } catch (const ESequencerError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("TSequenceControler.SetCurrent : ", 0), 0u);
    }
    EXPECT_EQ(controler.Current(), &a);
    EXPECT_TRUE(a.Started());
}

TEST(Sequence, IsCopiedThroughTheClassRegistry)
{
    const TReflectiveClass* sequenceClass = FindReflectiveClass("tsequence");
    ASSERT_NE(sequenceClass, nullptr);
    ASSERT_NE(FindReflectiveClass("TSequenceList"), nullptr);
    std::unique_ptr<TReflectivePersistent> made = sequenceClass->Create();
    auto& original = dynamic_cast<TSequence&>(*made);
    EXPECT_EQ(original.Duration(), 8000);
    ASSERT_EQ(original.PropertyCount(), 2);
    EXPECT_EQ(original.PropertyInfo(0).Name(), "Duration");
    EXPECT_EQ(original.PropertyInfo(1).Name(), "Name");

    original.SetName("Waves");
    original.SetDuration(12000);
    std::unique_ptr<TReflectivePersistent> copy = original.Clone();
    auto& cloned = dynamic_cast<TSequence&>(*copy);
    EXPECT_EQ(cloned.Name(), "Waves");
    EXPECT_EQ(cloned.Duration(), 12000);

    TSequence assigned("other", nullptr);
    assigned.Assign(original);
    EXPECT_EQ(assigned.Name(), "Waves");
    EXPECT_EQ(assigned.Duration(), 12000);
}

TEST(Sequence, ListsOwnTheirSequencesAndTheShowOrderOnlyRefersToThem)
{
    TSequenceList list;
    auto owned = std::make_unique<TSequence>("Waves", nullptr);
    TSequence* waves = owned.get();
    EXPECT_EQ(list.Add(std::move(owned)), 0);
    EXPECT_EQ(list.Items(0), waves);
    const std::unique_ptr<TReflectivePersistent> copy = list.Clone();
    auto& cloned = dynamic_cast<TSequenceList&>(*copy);
    ASSERT_EQ(cloned.Count(), 1);
    EXPECT_NE(cloned.Items(0), waves);
    EXPECT_EQ(cloned.Items(0)->Name(), "Waves");

    // The same item may stand twice in the show order; the view frees nothing.
    TSequenceView order;
    order.Add(waves);
    order.Add(waves);
    ASSERT_EQ(order.Count(), 2);
    EXPECT_EQ(order.Items(1), waves);
    EXPECT_THROW(order.Items(2), ESequencerError);
    EXPECT_THROW(order.Items(-1), ESequencerError);
    order.Clear();
    EXPECT_EQ(list.Items(0)->Name(), "Waves");
}
