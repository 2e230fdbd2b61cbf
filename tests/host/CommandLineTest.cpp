#include "host/CommandLine.h"

#include <gtest/gtest.h>

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
    EXPECT_NE(Parse({"-root", "-install"}).Error, "");
    EXPECT_NE(Parse({"--window", "extra"}).Error, "");
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
