// The render command tells every failed write: the output is checked before any frame, a
// picture is written whole through the atomic writer, and a failure ends with status 1 and
// a message naming the cause.

#include "host/RenderCommand.h"
#include "host/ShowInstallation.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

struct Result {
    int exitCode;
    std::string errors;
};

Result RunRender(const std::vector<std::string>& arguments)
{
    ::testing::internal::CaptureStderr();
    const int exitCode = RunRenderCommand(arguments);
    return {exitCode, ::testing::internal::GetCapturedStderr()};
}

std::string ParseError(const std::vector<std::string>& arguments)
{
    try {
        ParseRenderArguments(arguments);
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(RenderOutput, SeedsAreWholeNumbersOfThirtyTwoBits)
{
    for (const char* bad : {"abc", "-1", "4294967296", "", "12x", "1e3"}) {
        const std::string error = ParseError({"out.png", "--seed", bad});
        EXPECT_NE(error.find("--seed needs a whole number from 0 to 4294967295"), std::string::npos) << bad << ": " << error;
    }
    EXPECT_EQ(ParseRenderArguments({"out.png", "--seed", "4294967295"}).Seed, 4294967295u);
    EXPECT_EQ(ParseRenderArguments({"out.png", "--seed", "0"}).Seed, 0u);

    TTemporaryHives hives("render-seed");
    const Result result = RunRender({(hives.Folder() / "x.png").string(), "--seed", "abc"});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.errors.find("--seed needs a whole number"), std::string::npos) << result.errors;
}

TEST(RenderOutput, AWriteThatFailsAtFlushEndsWithTheCause)
{
    ShowInstallation installation;
    installation.Install();
    for (const char* name : {"full.png", "full.bmp", "full.y4m"}) {
        const fs::path link = installation.Folder() / name;
        fs::create_symlink("/dev/full", link);
        const Result result = RunRender({link.string(), "--size", "64x48", "--frames", "2"});
        EXPECT_EQ(result.exitCode, 1) << name;
        EXPECT_NE(result.errors.find(std::strerror(ENOSPC)), std::string::npos) << name << ": " << result.errors;
        EXPECT_TRUE(fs::is_symlink(link)) << name;
        EXPECT_TRUE(fs::is_character_file("/dev/full"));
    }
}

TEST(RenderOutput, TheOutputIsCheckedBeforeAnythingIsRendered)
{
    // Without an installation the command would end with status 2 after loading; an output
    // that cannot be written is found first.
    TTemporaryHives hives("render-output");
    const Result missingFolder = RunRender({(hives.Folder() / "no such folder" / "x.png").string()});
    EXPECT_EQ(missingFolder.exitCode, 1);
    EXPECT_NE(missingFolder.errors.find("does not exist"), std::string::npos) << missingFolder.errors;

    const fs::path file = hives.Folder() / "a file";
    std::ofstream(file) << "x";
    const Result folderInFile = RunRender({(file / "frames/").string()});
    EXPECT_EQ(folderInFile.exitCode, 1);
    EXPECT_NE(folderInFile.errors.find("cannot make the folder"), std::string::npos) << folderInFile.errors;

    EXPECT_EQ(RunRender({(hives.Folder() / "x.png").string()}).exitCode, 2);
}

TEST(RenderOutput, AReplacedPictureIsWrittenWhole)
{
    ShowInstallation installation;
    installation.Install();
    const fs::path out = installation.Folder() / "out.png";
    std::ofstream(out) << "old";
    fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const fs::path link = installation.Folder() / "link.png";
    fs::create_symlink(out, link);
    EXPECT_EQ(RunRender({link.string(), "--size", "64x48"}).exitCode, 0);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_GT(fs::file_size(out), 100u);
    for (const auto& entry : fs::directory_iterator(installation.Folder()))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
}
