// Presets that cannot be shown never end the show: each is skipped with a message line
// naming it, for another pick, the active wave or the built-in wave.

#include "graphics/GfxTool.h"
#include "host/RenderCommand.h"
#include "host/SaverShow.h"
#include "host/ShowInstallation.h"

#include <QImage>
#include <gtest/gtest.h>

#include <algorithm>

namespace fs = std::filesystem;

namespace {

int64_t LitPixels(const QImage& image)
{
    int64_t lit = 0;
    for (int32_t y = 0; y < image.height(); ++y)
        for (int32_t x = 0; x < image.width(); ++x)
            lit += (image.pixel(x, y) & 0xFFFFFF) != 0;
    return lit;
}

int64_t LitPixels(const TDIBRaster& raster)
{
    int64_t lit = 0;
    for (int32_t y = 0; y < raster.Height(); ++y)
        for (int32_t x = 0; x < raster.Width(); ++x)
            lit += (raster.GetPixel(x, y) & 0xFFFFFF) != 0;
    return lit;
}

bool AnyMessageHas(const TSaverShow& show, const std::string& part)
{
    return std::any_of(show.Messages().begin(), show.Messages().end(),
                       [&](const std::string& m) { return m.find(part) != std::string::npos; });
}

void SaveWave(const ShowInstallation& installation, const std::string& fileName, int32_t particles, int32_t width)
{
    TWaveConfig preset;
    preset.Assign(installation.wave);
    preset.ParticleCount = particles;
    preset.Width = width;
    preset.SaveToFile(installation.WavesFolder() + fileName);
}

void Frames(BuiltShow& built, int count)
{
    for (int i = 0; i < count; ++i) {
        built.now += 21;
        built.show.RenderFrame();
    }
}

// The picture the render command wrote, or a null image.
QImage Render(const ShowInstallation& installation, int& exitCode)
{
    const std::string out = (installation.Folder() / "out.png").string();
    exitCode = RunRenderCommand({out, "--size", "320x240", "--frames", "5", "--seed", "3"});
    return QImage(QString::fromStdString(out));
}

} // namespace

TEST(ShowFallback, AnActiveWaveOutsideTheLimitsGivesWayToTheBuiltInWave)
{
    ShowInstallation installation;
    installation.wave.ParticleCount = 0;
    BuiltShow built(installation);
    EXPECT_EQ(built.show.ActiveWave().Name, "Built-in Wave");
    EXPECT_TRUE(AnyMessageHas(built.show, "_ActiveWave")) << ::testing::PrintToString(built.show.Messages());
    EXPECT_TRUE(AnyMessageHas(built.show, kWaveSkippedMessage));
    Frames(built, 3);
    EXPECT_GT(LitPixels(*built.show.Current()), 100);

    ShowInstallation rendered;
    rendered.wave.ParticleCount = 0;
    rendered.Install();
    int exitCode = -1;
    const QImage picture = Render(rendered, exitCode);
    EXPECT_EQ(exitCode, 0);
    ASSERT_FALSE(picture.isNull());
    EXPECT_GT(LitPixels(picture), 100);
}

TEST(ShowFallback, BrokenRandomPicksFallBackToTheActiveWave)
{
    ShowInstallation installation;
    installation.settings.WaveRandomSelection = true;
    installation.wave.ParticleCount = 77;
    SaveWave(installation, "Crowded.lmx", MaxWaveParticleCount + 1, 100);
    SaveWave(installation, "Flat.lmx", 100, 0);
    fs::create_directory(installation.WavesFolder() + "Folder.lmx"); // listed, cannot be read
    BuiltShow built(installation);
    EXPECT_EQ(built.show.ActiveWave().Name, "_ActiveWave");
    EXPECT_EQ(built.show.ActiveWave().ParticleCount, 77);
    // Three picks at most, each broken one named.
    EXPECT_EQ(built.show.Messages().size(), 3u + 1u) << ::testing::PrintToString(built.show.Messages()); // + the logo
    int named = 0;
    for (const char* file : {"Crowded.lmx", "Flat.lmx", "Folder.lmx"})
        named += AnyMessageHas(built.show, file);
    EXPECT_EQ(named, 3);
    Frames(built, 3);
    EXPECT_GT(LitPixels(*built.show.Current()), 10);

    int exitCode = -1;
    const QImage picture = Render(installation, exitCode);
    EXPECT_EQ(exitCode, 0);
    ASSERT_FALSE(picture.isNull());
    EXPECT_GT(LitPixels(picture), 10);
}

TEST(ShowFallback, AGoodPickAmongBrokenOnesIsShown)
{
    ShowInstallation installation;
    installation.settings.WaveRandomSelection = true;
    SaveWave(installation, "Broken.lmx", 0, 100);
    SaveWave(installation, "Good.LMX", 55, 100);
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        installation.Install();
        TSaverShow show;
        ASSERT_TRUE(show.LoadSettings(seed));
        EXPECT_EQ(show.ActiveWave().Name, "Good") << seed;
        EXPECT_EQ(show.ActiveWave().ParticleCount, 55);
    }
}

TEST(ShowFallback, ABrokenIntroFileDoesNotEndTheRun)
{
    // A first start (no user settings yet) reads the intro file, here one outside the limits.
    ShowInstallation installation;
    THive machine(HKEY_LOCAL_MACHINE);
    machine.SetValue(kSettingsKey, "WavesDirectory", TRegData::String(installation.WavesFolder()));
    for (const char* key : {kWavesKey, kLogosKey, kTextsKey}) {
        machine.SetValue(key, "RandomSelection", TRegData::Dword(0));
        machine.SetValue(key, "Enabled", TRegData::Dword(0));
        machine.SetValue(key, "Duration", TRegData::Dword(10));
    }
    machine.SaveToFile((installation.Folder() / "machine.reg").string());
    SaveWave(installation, "Intro System.lmx", 100, MaxWaveAreaSize + 1);
    {
        uint32_t now = 0;
        ScopedSequencerClock clock([&now] { return now; });
        TSaverShow show;
        ASSERT_TRUE(show.LoadSettings(1));
        TWaveConfig builtIn;
        SetBuiltInWave(builtIn);
        EXPECT_EQ(show.ActiveWave().Waves, builtIn.Waves); // named "_ActiveWave" by the first-run copy
        EXPECT_TRUE(AnyMessageHas(show, "Intro System.lmx")) << ::testing::PrintToString(show.Messages());
        show.PrepareWave(320, 240, 0);
        show.BuildShow();
        show.RenderFrame();
    }
    fs::remove(installation.Folder() / "user.reg"); // a first start again
    int exitCode = -1;
    const QImage picture = Render(installation, exitCode);
    EXPECT_EQ(exitCode, 0);
    ASSERT_FALSE(picture.isNull());
    EXPECT_GT(LitPixels(picture), 100);
}

TEST(ShowFallback, AWaveTooLargeForTheScreenGivesWayToTheBuiltInWave)
{
    ShowInstallation installation;
    installation.wave.Width = MaxWaveAreaSize; // percent: far more pixels than a raster may have
    BuiltShow built(installation, 4000, 3000);
    EXPECT_EQ(built.show.ActiveWave().Name, "Built-in Wave");
    EXPECT_EQ(built.show.Current()->Width(), 4000);
    EXPECT_TRUE(AnyMessageHas(built.show, "\"_ActiveWave\" cannot be drawn")) << ::testing::PrintToString(built.show.Messages());
    Frames(built, 2);
}

TEST(ShowFallback, RenderingFromAFolderHoldingOnlyAnUpperCaseExtension)
{
    ShowInstallation installation;
    installation.settings.WaveRandomSelection = true;
    installation.wave.ParticleCount = 0; // the active wave cannot stand in
    SaveWave(installation, "Only.LMX", 500, 100);
    installation.Install();
    ::testing::internal::CaptureStderr();
    int exitCode = -1;
    const QImage picture = Render(installation, exitCode);
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(errors.find("Only"), std::string::npos) << errors;
    ASSERT_FALSE(picture.isNull());
    EXPECT_GT(LitPixels(picture), 100);
}
