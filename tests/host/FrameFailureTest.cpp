// A frame that throws does not stop the show, and why it failed is told once per kind.

#include "host/SaverShow.h"
#include "host/ShowInstallation.h"
#include "sequencing/Sequencer.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// An item whose frames fail with a message of the usual form.
class TFailingSequence : public TSequence {
public:
    TFailingSequence(TSequenceControler* controler, std::string operation)
        : TSequence("Failing", controler), operation_(std::move(operation))
    {
        SetDuration(100);
    }
    int Frames = 0;

protected:
    void DoFrame() override
    {
        ++Frames;
        throw std::runtime_error(operation_ + " : Cannot draw frame " + std::to_string(Frames));
    }

private:
    std::string operation_;
};

} // namespace

TEST(FrameFailure, TheFirstFailureOfEachKindIsToldAndTheShowGoesOn)
{
    ShowInstallation installation;
    BuiltShow built(installation);
    TSequenceControler& controler = *built.show.Controler();
    TFailingSequence first(&controler, "TFirst.DoFrame"), second(&controler, "TSecond.DoFrame");
    const int32_t wave = 0;
    controler.Sequences().Add(&first);
    controler.Sequences().Add(&second);
    controler.SetCurrent(1);

    ::testing::internal::CaptureStderr();
    for (int frame = 0; frame < 20; ++frame) {
        built.now += 21;
        EXPECT_NO_THROW(built.show.RenderFrame());
    }
    const std::string errors = ::testing::internal::GetCapturedStderr();
    const int32_t current = controler.CurrentIndex();
    controler.Stop(); // before the items go

    // Each failing item ran until its 100 ms were over, then the next one came.
    EXPECT_GE(first.Frames, 4);
    EXPECT_GE(second.Frames, 4);
    EXPECT_EQ(current, wave);
    EXPECT_EQ(built.show.Messages().size(), 2u + 1u) << ::testing::PrintToString(built.show.Messages()); // + the logo
    EXPECT_NE(errors.find("Frame error : TFirst.DoFrame : Cannot draw frame 1\n"), std::string::npos) << errors;
    EXPECT_NE(errors.find("Frame error : TSecond.DoFrame : Cannot draw frame 1\n"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("frame 2"), std::string::npos) << errors;
    EXPECT_EQ(built.show.Messages().back(), "Frame error : TSecond.DoFrame : Cannot draw frame 1");
}
