// The program's own answers to its command line, run as a separate process.

#include "host/ProgramRun.h"

#include <gtest/gtest.h>

namespace {

class ProgramTest : public ::testing::Test {
protected:
    // No display of any kind: what a text console or an ssh session without forwarding has.
    static QProcessEnvironment WithoutDisplay()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        return environment;
    }
};

TEST_F(ProgramTest, UnknownLongOptionsGiveOneLineAndTheUsageWithStatus2)
{
    for (const QStringList& arguments : {QStringList{"--hepl"}, QStringList{"--frames", "3"},
                                         QStringList{"--root", "--speed", "2"}, QStringList{"--window-id"}}) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const TProgramResult result = RunProgram(arguments, WithoutDisplay());
        ASSERT_TRUE(result.Finished);
        EXPECT_FALSE(result.Crashed);
        EXPECT_EQ(result.ExitCode, 2);
        EXPECT_EQ(result.Out, "");
        const QStringList lines = result.Err.split('\n');
        ASSERT_GE(lines.size(), 3);
        EXPECT_TRUE(lines[0].startsWith("lumenfall: ")) << lines[0].toStdString();
        EXPECT_TRUE(lines[1].isEmpty() || lines[1].startsWith("Usage: ")) << lines[1].toStdString();
        EXPECT_TRUE(result.Err.contains("\nUsage: lumenfall ")) << result.Err.toStdString();
    }
    const TProgramResult result = RunProgram({"--hepl"}, WithoutDisplay());
    EXPECT_TRUE(result.Err.startsWith("lumenfall: unrecognized option '--hepl'\n")) << result.Err.toStdString();
}

TEST_F(ProgramTest, HelpInBothSpellingsGoesToStandardOutput)
{
    for (const char* option : {"-h", "--help"}) {
        const TProgramResult result = RunProgram({option}, WithoutDisplay());
        EXPECT_EQ(result.ExitCode, 0) << option;
        EXPECT_TRUE(result.Out.startsWith("Usage: lumenfall ")) << option;
        EXPECT_TRUE(result.Out.contains("--window-id ID")) << option;
        EXPECT_EQ(result.Err, "") << option;
    }
}

TEST_F(ProgramTest, ModesThatNeedADisplayEndWithOneLineWithoutOne)
{
    QProcessEnvironment unreachable = WithoutDisplay();
    unreachable.insert("DISPLAY", ":987");
    unreachable.insert("WAYLAND_DISPLAY", "no-such-wayland-socket");
    unreachable.insert("XDG_RUNTIME_DIR", "/nonexistent");
    for (const QProcessEnvironment& environment : {WithoutDisplay(), unreachable}) {
        for (const QStringList& arguments : {QStringList{"--root"}, QStringList{"/s"}, QStringList{"--window"},
                                             QStringList{"-window-id", "0x400001"}, QStringList{"--display", ":986", "/p"}}) {
            SCOPED_TRACE(arguments.join(' ').toStdString());
            const TProgramResult result = RunProgram(arguments, environment);
            ASSERT_TRUE(result.Finished);
            EXPECT_FALSE(result.Crashed) << "the toolkit aborted";
            EXPECT_EQ(result.ExitCode, 1);
            EXPECT_TRUE(result.Err.startsWith("lumenfall: no display")) << result.Err.toStdString();
            EXPECT_EQ(result.Err.count('\n'), 1) << result.Err.toStdString();
        }
    }
    // Modes that need no display still run.
    EXPECT_EQ(RunProgram({"--version"}, WithoutDisplay()).ExitCode, 0);
    EXPECT_EQ(RunProgram({"/l"}, WithoutDisplay()).ExitCode, 0);
}

} // namespace
