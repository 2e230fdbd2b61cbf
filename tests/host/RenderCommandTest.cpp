#include "host/RenderCommand.h"

#include "host/ShowInstallation.h"
#include "host/Y4mWriter.h"

#include <QImage>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Runs the command with stderr captured (not a terminal under the tests), without the line
// of the installation's missing logo.
int RunCaptured(const std::vector<std::string>& arguments, std::string& errors)
{
    testing::internal::CaptureStderr();
    const int code = RunRenderCommand(arguments);
    errors.clear();
    for (const std::string& line : Lines(testing::internal::GetCapturedStderr()))
        if (line.find("Logo System") == std::string::npos)
            errors += line + "\n";
    return code;
}

} // namespace

TEST(RenderCommand, FramesOfAFolderOrAVideoAreTheRenderedPicturesInOrderAtEveryCompression)
{
    ShowInstallation installation;
    installation.Install();
    const fs::path fast = installation.Folder() / "fast", small = installation.Folder() / "small";
    const fs::path video = installation.Folder() / "v.y4m";
    std::string errors;
    ASSERT_EQ(RunCaptured({video.string(), "--size", "96x64", "--frames", "12", "--seed", "4", "--quiet"}, errors), 0);
    std::ifstream videoFile(video, std::ios::binary);
    const std::string videoBytes{std::istreambuf_iterator<char>(videoFile), std::istreambuf_iterator<char>()};
    ASSERT_EQ(int64_t(videoBytes.size()), TY4mWriter::FileSize(96, 64, 21, 12));
    ASSERT_EQ(RunCaptured({fast.string() + "/", "--size", "96x64", "--frames", "12", "--seed", "4", "--quiet"}, errors), 0);
    EXPECT_EQ(errors, "");
    ASSERT_EQ(RunCaptured({small.string() + "/", "--size", "96x64", "--frames", "12", "--seed", "4", "--quiet",
                           "--png-compression", "9"},
                          errors),
              0);
    // The last frame as a single picture is frame 12 of the folder, pixel for pixel.
    const fs::path last = installation.Folder() / "last.png";
    ASSERT_EQ(RunCaptured({last.string(), "--size", "96x64", "--frames", "12", "--seed", "4", "--quiet"}, errors), 0);
    for (int frame = 1; frame <= 12; ++frame) {
        char name[32];
        std::snprintf(name, sizeof name, "frame%05d.png", frame);
        const QImage a(QString::fromStdString((fast / name).string())), b(QString::fromStdString((small / name).string()));
        ASSERT_FALSE(a.isNull()) << name;
        EXPECT_EQ(a.convertToFormat(QImage::Format_RGB32), b.convertToFormat(QImage::Format_RGB32)) << name;
        const QByteArray converted = TY4mWriter::EncodeFrame(a.convertToFormat(QImage::Format_RGB32));
        const size_t header = videoBytes.size() - size_t(12 * converted.size());
        EXPECT_EQ(videoBytes.substr(header + size_t((frame - 1) * converted.size()), size_t(converted.size())),
                  converted.toStdString())
            << name;
        if (frame == 12) {
            EXPECT_EQ(a.convertToFormat(QImage::Format_RGB32),
                      QImage(QString::fromStdString(last.string())).convertToFormat(QImage::Format_RGB32));
        }
    }
    EXPECT_FALSE(fs::exists(fast / "frame00013.png"));
}

TEST(RenderCommand, OffATerminalProgressIsALineAtEveryTenthAndQuietSilencesIt)
{
    ShowInstallation installation;
    installation.Install();
    std::string errors;
    ASSERT_EQ(RunCaptured({(installation.Folder() / "f").string() + "/", "--size", "64x48", "--frames", "20"}, errors), 0);
    const std::vector<std::string> lines = Lines(errors);
    ASSERT_EQ(lines.size(), 10u) << errors;
    for (size_t k = 0; k < lines.size(); ++k) {
        const std::string expected =
            "lumenfall --render: frame " + std::to_string(2 * (k + 1)) + "/20 (" + std::to_string(10 * (k + 1)) + " %)";
        EXPECT_EQ(lines[k].substr(0, expected.size()), expected) << lines[k];
    }
    // A video of more than ten seconds announces its size first.
    ASSERT_EQ(RunCaptured({(installation.Folder() / "v.y4m").string(), "--size", "64x48", "--frames", "5",
                           "--interval", "3000"},
                          errors),
              0);
    EXPECT_EQ(Lines(errors).front(), "lumenfall --render: 5 frames of 64x48 into '" +
                                          (installation.Folder() / "v.y4m").string() + "', 0.0 MiB");
    EXPECT_EQ(Lines(errors).size(), 6u);
    ASSERT_EQ(RunCaptured({(installation.Folder() / "q.y4m").string(), "--size", "64x48", "--frames", "5",
                           "--interval", "3000", "--quiet"},
                          errors),
              0);
    EXPECT_EQ(errors, "");
}

TEST(RenderCommand, AFrameThatCannotBeWrittenEndsTheRunWithOneLineAndStatusOne)
{
    ShowInstallation installation;
    installation.Install();
    const fs::path folder = installation.Folder() / "frames";
    // A folder where the third frame's file should go.
    fs::create_directories(folder / "frame00003.png");
    std::string errors;
    EXPECT_EQ(RunCaptured({folder.string() + "/", "--size", "64x48", "--frames", "30", "--quiet"}, errors), 1);
    ASSERT_EQ(Lines(errors).size(), 1u) << errors;
    EXPECT_NE(errors.find("lumenfall --render: "), std::string::npos);
    EXPECT_NE(errors.find("\"" + (folder / "frame00003.png").string() + "\""), std::string::npos) << errors;
    EXPECT_TRUE(fs::exists(folder / "frame00002.png"));
    EXPECT_FALSE(fs::exists(folder / "frame00004.png"));
}

TEST(RenderCommand, CompressionAndQuietAreParsed)
{
    EXPECT_EQ(ParseRenderArguments({"out/"}).PngCompression, 1);
    EXPECT_FALSE(ParseRenderArguments({"out/"}).Quiet);
    const TRenderOptions options = ParseRenderArguments({"out/", "--png-compression", "0", "--quiet"});
    EXPECT_EQ(options.PngCompression, 0);
    EXPECT_TRUE(options.Quiet);
    EXPECT_THROW(ParseRenderArguments({"out/", "--png-compression", "10"}), std::invalid_argument);
    EXPECT_THROW(ParseRenderArguments({"out/", "--png-compression"}), std::invalid_argument);
}
