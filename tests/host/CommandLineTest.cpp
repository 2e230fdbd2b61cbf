#include "host/CommandLine.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

TCommandLine Parse(std::vector<std::string> arguments) { return ParseCommandLine(arguments); }

TEST(CommandLineTest, ScreenSaverSwitches)
{
    const std::pair<std::vector<std::string>, TStartMode> table[] = {
        {{"/s"}, TStartMode::smSaver},
        {{"-S"}, TStartMode::smSaver},
        {{"s"}, TStartMode::smSaver},
        {{"/S"}, TStartMode::smSaver},
        {{"/save-now"}, TStartMode::smSaver},
        {{"/c:1234"}, TStartMode::smConfig},
        {{"/c"}, TStartMode::smConfig},
        {{}, TStartMode::smConfig},
        {{""}, TStartMode::smConfig},
        {{"/"}, TStartMode::smConfig},
        {{"x"}, TStartMode::smConfig},
        {{"//s"}, TStartMode::smConfig},
        {{"-a"}, TStartMode::smChangePassword},
        {{"/l"}, TStartMode::smNothing},
        {{"/p"}, TStartMode::smPreview},
        {{"--window"}, TStartMode::smWindow},
        {{"--help"}, TStartMode::smHelp},
        {{"--version"}, TStartMode::smVersion},
        {{"--render", "--frames", "3"}, TStartMode::smRender},
        {{"-root"}, TStartMode::smHack},
        {{"-window"}, TStartMode::smHack},
        {{"-fps"}, TStartMode::smHack},
        {{"-Root"}, TStartMode::smConfig},
    };
    for (const auto& [arguments, mode] : table) {
        const TCommandLine command = Parse(arguments);
        EXPECT_EQ(command.Mode, mode) << (arguments.empty() ? "(none)" : arguments[0]);
        EXPECT_EQ(command.Error, "") << (arguments.empty() ? "(none)" : arguments[0]);
    }
    EXPECT_EQ(Parse({"--render", "--frames", "3"}).RenderArguments, (std::vector<std::string>{"--frames", "3"}));
}

TEST(CommandLineTest, PreviewAndPasswordParents)
{
    TCommandLine preview = Parse({"/p", "1234"});
    EXPECT_EQ(preview.Mode, TStartMode::smPreview);
    EXPECT_TRUE(preview.HasParent);
    EXPECT_EQ(preview.ParentWindow, 1234u);
    EXPECT_FALSE(Parse({"/P"}).HasParent);
    EXPECT_EQ(Parse({"/p", "0x10"}).Error, "'0x10' is not a valid integer value");
    EXPECT_EQ(Parse({"/p", "-5"}).Error, "'-5' is not a valid integer value");

    TCommandLine password = Parse({"/a", "99"});
    EXPECT_EQ(password.Mode, TStartMode::smChangePassword);
    EXPECT_EQ(password.ParentWindow, 99u);
    EXPECT_EQ(Parse({"/a", "window"}).ParentWindow, 0u);
}

TEST(CommandLineTest, HackArguments)
{
    TCommandLine root = Parse({"-root", "-fps"});
    EXPECT_EQ(root.HackTarget, THackTarget::htRoot);
    EXPECT_TRUE(root.ShowFPS);

    TCommandLine id = Parse({"-window-id", "0x2a00007"});
    EXPECT_EQ(id.HackTarget, THackTarget::htWindowId);
    EXPECT_EQ(id.HackWindow, 0x2a00007u);
    EXPECT_FALSE(id.ShowFPS);
    EXPECT_EQ(Parse({"-window-id", "44040199"}).HackWindow, 44040199u);

    EXPECT_NE(Parse({"-window-id"}).Error, "");
    EXPECT_NE(Parse({"-window-id", "0xzz"}).Error, "");
    EXPECT_EQ(Parse({"-root", "-install"}).Error, "") << "a generic X option";
    EXPECT_NE(Parse({"--window", "extra"}).Error, "");
}

TEST(CommandLineTest, HackOptionsInBothFormsAnyOrderAndCombined)
{
    for (const auto& [root, windowId, fps] : {std::tuple{"-root", "-window-id", "-fps"},
                                              std::tuple{"--root", "--window-id", "--fps"}}) {
        SCOPED_TRACE(root);
        const TCommandLine plain = Parse({root});
        EXPECT_EQ(plain.Mode, TStartMode::smHack);
        EXPECT_EQ(plain.HackTarget, THackTarget::htRoot);
        EXPECT_EQ(plain.Error, "");
        // The settings program appends the preview's window to the stored command.
        for (const auto& arguments : {std::vector<std::string>{root, fps, windowId, "0x400EE6"},
                                      std::vector<std::string>{windowId, "0x400ee6", root, fps},
                                      std::vector<std::string>{fps, "--window", windowId, "4198118"}}) {
            const TCommandLine command = Parse(arguments);
            EXPECT_EQ(command.Mode, TStartMode::smHack);
            EXPECT_EQ(command.HackTarget, THackTarget::htWindowId) << "the window id wins";
            EXPECT_EQ(command.HackWindow, 0x400EE6u);
            EXPECT_TRUE(command.ShowFPS);
            EXPECT_EQ(command.Error, "");
        }
    }
    const TCommandLine window = Parse({"--window", "--fps"});
    EXPECT_EQ(window.Mode, TStartMode::smHack);
    EXPECT_EQ(window.HackTarget, THackTarget::htWindow);
    EXPECT_TRUE(window.ShowFPS);
    EXPECT_EQ(Parse({"--root", "--window-id"}).Error, "--window-id needs a window id (decimal or 0x-hexadecimal)");
    EXPECT_EQ(Parse({"--root", "--frames"}).Error, "unrecognized option '--frames'");
}

TEST(CommandLineTest, GenericXOptionsStandAnywhere)
{
    const TCommandLine hack = Parse({"--display", ":7", "--root", "-install", "--visual", "0x21", "--fps"});
    EXPECT_EQ(hack.Mode, TStartMode::smHack);
    EXPECT_EQ(hack.HackTarget, THackTarget::htRoot);
    EXPECT_TRUE(hack.ShowFPS);
    EXPECT_EQ(hack.Display, ":7");
    EXPECT_EQ(hack.Error, "");

    const TCommandLine saver = Parse({"/s", "-display", "host:0.1"});
    EXPECT_EQ(saver.Mode, TStartMode::smSaver);
    EXPECT_EQ(saver.Display, "host:0.1");
    const TCommandLine preview = Parse({"--install", "/p", "77"});
    EXPECT_EQ(preview.Mode, TStartMode::smPreview);
    EXPECT_EQ(preview.ParentWindow, 77u);
    EXPECT_EQ(Parse({"--display", ":1"}).Mode, TStartMode::smConfig) << "nothing but a display opens the dialog";
    EXPECT_EQ(Parse({"--display"}).Error, "--display needs a value");
    EXPECT_EQ(Parse({"--root", "-visual"}).Error, "-visual needs a value");
    EXPECT_EQ(Parse({"--render", "--display", ":1"}).RenderArguments,
              (std::vector<std::string>{"--display", ":1"})) << "render's arguments are its own";
}

TEST(CommandLineTest, UnknownLongOptionsAreErrorsNotTheDialog)
{
    for (const std::string option : {"--hepl", "--Help", "--helpp", "--config", "--s", "--preview"}) {
        const TCommandLine command = Parse({option});
        EXPECT_EQ(command.Error, "unrecognized option '" + option + "'");
    }
    EXPECT_EQ(Parse({"-h"}).Mode, TStartMode::smHelp);
    EXPECT_NE(Parse({"-h", "x"}).Error, "");
    // One dash or a slash keeps the screen-saver rule: the first letter decides.
    EXPECT_EQ(Parse({"-help"}).Mode, TStartMode::smConfig);
    EXPECT_EQ(Parse({"-hepl"}).Error, "");
    EXPECT_EQ(Parse({"--"}).Mode, TStartMode::smConfig);
    EXPECT_EQ(Parse({"-"}).Mode, TStartMode::smConfig);
}

TEST(CommandLineTest, ModesThatNeedADisplay)
{
    for (TStartMode mode : {TStartMode::smSaver, TStartMode::smPreview, TStartMode::smConfig,
                            TStartMode::smChangePassword, TStartMode::smWindow, TStartMode::smHack})
        EXPECT_TRUE(NeedsDisplay(mode));
    for (TStartMode mode : {TStartMode::smRender, TStartMode::smHelp, TStartMode::smVersion, TStartMode::smNothing})
        EXPECT_FALSE(NeedsDisplay(mode));
}

TEST(CommandLineTest, WindowIds)
{
    uint64_t id = 7;
    EXPECT_TRUE(ParseWindowId("0X1f", id));
    EXPECT_EQ(id, 0x1Fu);
    EXPECT_TRUE(ParseWindowId("4294967295", id));
    EXPECT_FALSE(ParseWindowId("4294967296", id));
    EXPECT_FALSE(ParseWindowId("0x", id));
    EXPECT_FALSE(ParseWindowId("", id));
    EXPECT_FALSE(ParseWindowId("12 ", id));
    EXPECT_EQ(id, 4294967295u) << "a failed parse leaves the id alone";
}

} // namespace
