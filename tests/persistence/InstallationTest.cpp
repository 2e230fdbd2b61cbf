#include "kinds/LumenfallCfg.h"
#include "persistence/SettingsStore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

// Installs the build into a scratch prefix and loads the settings from that installation,
// as a first run of a new user does.
TEST(Installation, AFreshInstallationCarriesACompleteShow)
{
    const char* buildDir = std::getenv("LUMENFALL_BUILD_DIR");
    if (!buildDir)
        GTEST_SKIP() << "LUMENFALL_BUILD_DIR is not set";
    const fs::path prefix = fs::temp_directory_path() / ("lumenfall-install-" + std::to_string(::getpid()));
    fs::remove_all(prefix);
    const std::string command =
        "cmake --install '" + std::string(buildDir) + "' --prefix '" + prefix.string() + "' > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    const fs::path share = prefix / "share" / "lumenfall";
    EXPECT_TRUE(fs::exists(prefix / "bin" / "lumenfall"));
    const std::string machine = (share / "machine.reg").string();
    const std::string user = (prefix / "user.reg").string();
    setenv("LUMENFALL_MACHINE_HIVE", machine.c_str(), 1);
    setenv("LUMENFALL_USER_HIVE", user.c_str(), 1);

    std::vector<std::string> waves, logos, texts;
    TWaveConfig wave;
    TBlankerSettings settings;
    settings.WaveList = &waves;
    settings.LogoList = &logos;
    settings.TextList = &texts;
    settings.ActiveWave = &wave;
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
