#include "host/ShowInstallation.h"
#include "kinds/LumenfallCfg.h"
#include "kinds/ParticleWaves.h"
#include "persistence/SettingsStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The build folder whose staged installation is tested: the one the tests were built in,
// unless LUMENFALL_BUILD_DIR names another.
std::string BuildFolder()
{
    const char* overridden = std::getenv("LUMENFALL_BUILD_DIR");
    return overridden && *overridden ? overridden : LUMENFALL_TEST_BUILD_DIR;
}

} // namespace

// Installs the build into a scratch prefix and loads the settings from that installation,
// as a first run of a new user does.
TEST(Installation, AFreshInstallationCarriesACompleteShow)
{
    const std::string buildDir = BuildFolder();
    const fs::path prefix = fs::temp_directory_path() / ("lumenfall-install-" + std::to_string(::getpid()));
    fs::remove_all(prefix);
    const std::string command =
        "cmake --install '" + buildDir + "' --prefix '" + prefix.string() + "' > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    const fs::path share = prefix / "share" / "lumenfall";
    EXPECT_TRUE(fs::exists(prefix / "bin" / "lumenfall"));
    const std::string machine = (share / "machine.reg").string();
    const std::string user = (prefix / "user.reg").string();
    setenv("LUMENFALL_MACHINE_HIVE", machine.c_str(), 1);
    setenv("LUMENFALL_USER_HIVE", user.c_str(), 1);

    TBlankerSettings settings;
    const std::vector<std::string>& waves = settings.WaveList;
    const std::vector<std::string>& logos = settings.LogoList;
    const std::vector<std::string>& texts = settings.TextList;
    const TWaveConfig& wave = *settings.ActiveWave;
    ASSERT_TRUE(LoadBlankerSettings(settings));
    EXPECT_EQ(settings.WavesDirectory, (share / "waves").string() + "/");
    EXPECT_NE(std::find(waves.begin(), waves.end(), "Intro System"), waves.end());
    EXPECT_GE(waves.size(), 2u);
    EXPECT_GE(logos.size(), 2u);
    EXPECT_GE(texts.size(), 2u);
    EXPECT_GT(wave.ParticleCount, 0);
    EXPECT_TRUE(fs::exists(settings.ActiveLogo.Path)) << settings.ActiveLogo.Path;
    EXPECT_FALSE(settings.ActiveText.Text.empty());
    EXPECT_TRUE(fs::exists(share / "help" / "index.html"));
    EXPECT_TRUE(fs::exists(user)); // the first run copied the settings for the user

    unsetenv("LUMENFALL_MACHINE_HIVE");
    unsetenv("LUMENFALL_USER_HIVE");
    fs::remove_all(prefix);
}

// Every preset of the staged installation, shown on a wide and a square screen, keeps its
// figure in its drawing area. The frames sample the first minutes of the show: between two
// frames the wave jumps ahead, since its time and angle are all it remembers.
TEST(Installation, EveryShippedWavePresetStaysInItsDrawingArea)
{
    const std::string buildDir = BuildFolder();
    std::vector<fs::path> presets;
    for (const auto& entry : fs::directory_iterator(fs::path(buildDir) / "share" / "lumenfall" / "waves"))
        if (entry.path().extension() == ".lmx")
            presets.push_back(entry.path());
    EXPECT_GE(presets.size(), 13u);

    constexpr int32_t kSamples = 120;
    constexpr int32_t kFramesPerSample = 40;
    constexpr double kMostOutside = 0.01;
    for (const fs::path& preset : presets) {
        for (const auto& [width, height] : {std::pair{480, 270}, std::pair{400, 300}}) {
            SCOPED_TRACE(preset.stem().string() + " on " + std::to_string(width) + "x" + std::to_string(height));
            ShowInstallation installation;
            ASSERT_NO_THROW(installation.wave.LoadFromFile(preset.string()));
            EXPECT_LE(installation.wave.ParticleCount, 40000);
            BuiltShow built(installation, width, height);
            TParticleWaves& wave = *built.show.WaveSystem();
            double worst = 0;
            for (int32_t sample = 0; sample < kSamples; ++sample) {
                wave.Pos += float(kFramesPerSample - 1) * wave.Speed;
                for (int32_t skipped = 1; skipped < kFramesPerSample; ++skipped)
                    wave.Angle = VectorAdd(wave.Angle, wave.Rot);
                built.now += 21;
                built.show.RenderFrame();
                worst = std::max(worst, wave.ShareOutsideRaster());
            }
            EXPECT_LT(worst, kMostOutside);
        }
    }
}
