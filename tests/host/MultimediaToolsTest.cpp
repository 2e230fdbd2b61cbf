#include "host/MultimediaTools.h"

#include <gtest/gtest.h>

namespace {

// Records what the list asks of the system.
struct TFakeDisplay {
    std::vector<TDisplayMode> Modes;
    bool SetSucceeds = true;
    bool RestoreSucceeds = true;
    std::vector<uint64_t> SetCalls;
    int RestoreCalls = 0;
};

class TFakeBackend final : public TDisplayModeBackend {
public:
    explicit TFakeBackend(TFakeDisplay& display) : display_(display) {}
    std::vector<TDisplayMode> EnumModes() override { return display_.Modes; }
    bool SetMode(const TDisplayMode& mode) override
    {
        display_.SetCalls.push_back(mode.Id);
        return display_.SetSucceeds;
    }
    bool RestoreDefault() override
    {
        ++display_.RestoreCalls;
        return display_.RestoreSucceeds;
    }

private:
    TFakeDisplay& display_;
};

TDisplayMode Mode(int32_t width, int32_t height, int32_t frequency, uint32_t flags, uint64_t id)
{
    return {width, height, 32, frequency, flags, id};
}

std::string RaisedMessage(TScreenModeList& list, int32_t index)
{
    try {
        list.ChangeScreenMode(index);
    } catch (const EGraphicException& e) {
        return e.what();
    }
    return "";
}

TEST(MultimediaToolsTest, NamesFollowTheListWithoutHardwareDefaultRates)
{
    TFakeDisplay display;
    display.Modes = {Mode(1024, 768, 75, 0, 1), Mode(800, 600, 1, 0, 2), Mode(640, 480, 0, kModeInterlaced, 3),
                     Mode(320, 200, 60, kModeGrayscale | kModeInterlaced, 4), Mode(1024, 768, 75, 0, 5)};
    TScreenModeList list(std::make_unique<TFakeBackend>(display));
    EXPECT_EQ(list.GetScreenModes(),
              (std::vector<std::string>{"1024x768, 32 bit, 75 Hz, colored, non interlaced",
                                        "640x480, 32 bit, colored, interlaced",
                                        "320x200, 32 bit, 60 Hz, grayscaled, interlaced",
                                        "1024x768, 32 bit, 75 Hz, colored, non interlaced"}));
    // Indices count listed modes only: 1 is the 640 x 480 mode.
    list.ChangeScreenMode(1);
    EXPECT_EQ(display.SetCalls, std::vector<uint64_t>{3});
}

TEST(MultimediaToolsTest, ChangeAndRestore)
{
    TFakeDisplay display;
    display.Modes = {Mode(800, 600, 60, 0, 7)};
    {
        TScreenModeList list(std::make_unique<TFakeBackend>(display));
        list.ChangeScreenMode(-1); // nothing changed: still fine
        EXPECT_EQ(display.RestoreCalls, 1);
        list.ChangeScreenMode(0);
        list.ChangeScreenMode(-1);
        EXPECT_EQ(display.RestoreCalls, 2);
    }
    EXPECT_EQ(display.RestoreCalls, 2) << "a restored mode is not restored again at the end";
    {
        TScreenModeList list(std::make_unique<TFakeBackend>(display));
        list.ChangeScreenMode(0);
    }
    EXPECT_EQ(display.RestoreCalls, 3) << "a changed mode is restored when the list goes";
}

TEST(MultimediaToolsTest, TheThreeFailures)
{
    TFakeDisplay display;
    display.Modes = {Mode(800, 600, 60, 0, 7), Mode(640, 480, 60, 0, 8)};
    TScreenModeList list(std::make_unique<TFakeBackend>(display));
    EXPECT_EQ(RaisedMessage(list, 2), "ChangeScreenMode : Screen mode not available");
    EXPECT_TRUE(display.SetCalls.empty());
    display.SetSucceeds = false;
    EXPECT_EQ(RaisedMessage(list, 0), "ChangeScreenMode : Screen mode could not be changed");
    display.RestoreSucceeds = false;
    EXPECT_EQ(RaisedMessage(list, -1), "ChangeScreenMode : Screen mode could not be changed to default mode");
    EXPECT_EQ(list.GetScreenModes().size(), 2u);
}

TEST(MultimediaToolsTest, WithoutXRandRThereAreNoModes)
{
    // The tests run on the offscreen platform.
    TScreenModeList list(CreateSystemDisplayModeBackend());
    EXPECT_TRUE(list.GetScreenModes().empty());
    EXPECT_NO_THROW(list.ChangeScreenMode(-1));
    EXPECT_EQ(RaisedMessage(list, 0), "ChangeScreenMode : Screen mode not available");
}

} // namespace
