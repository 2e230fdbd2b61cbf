#include "host/ShowInstallation.h"
#include "kinds/LumenfallCfg.h"
#include "kinds/ParticleWaves.h"
#include "persistence/SettingsStore.h"
#include "persistence/TemporaryHives.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A scratch prefix that the build is installed into; removed afterwards. Installations of
// the same build take turns (the build folder holds one install manifest), also when the
// tests run in several processes.
class ScratchInstallation {
public:
    ScratchInstallation() : prefix_(fs::temp_directory_path() / ("lumenfall-install-" + std::to_string(::getpid())))
    {
        fs::remove_all(prefix_);
    }
    ~ScratchInstallation()
    {
        if (lock_ >= 0)
            ::close(lock_); // releases the turn
        unsetenv("LUMENFALL_MACHINE_HIVE");
        unsetenv("LUMENFALL_USER_HIVE");
        std::error_code ignored;
        fs::remove_all(prefix_, ignored);
        fs::remove_all(prefix_.string() + "-moved", ignored);
    }
    // Runs cmake --install into the prefix; false when it fails.
    bool Install(const std::string& buildDir)
    {
        lock_ = ::open((fs::path(buildDir) / "install-turn.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (lock_ < 0 || ::flock(lock_, LOCK_EX) != 0)
            return false;
        const std::string command = "cmake --install '" + buildDir + "' --prefix '" + prefix_.string() + "' > /dev/null";
        return std::system(command.c_str()) == 0;
    }
    // The settings of a new user of the installation under prefix.
    static void UseInstallation(const fs::path& prefix)
    {
        const std::string machine = (prefix / "share" / "lumenfall" / "machine.reg").string();
        const std::string user = (prefix / "user.reg").string();
        setenv("LUMENFALL_MACHINE_HIVE", machine.c_str(), 1);
        setenv("LUMENFALL_USER_HIVE", user.c_str(), 1);
    }
    const fs::path& Prefix() const { return prefix_; }

private:
    fs::path prefix_;
    int lock_ = -1;
};

std::vector<std::string> ManifestLines(const fs::path& manifest)
{
    std::ifstream in(manifest);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

// Installs the build into a scratch prefix and loads the settings from that installation,
// as a first run of a new user does.
TEST(Installation, AFreshInstallationCarriesACompleteShow)
{
    const std::string buildDir = TestBuildFolder();
    ScratchInstallation installation;
    ASSERT_TRUE(installation.Install(buildDir));
    const fs::path& prefix = installation.Prefix();

    const fs::path share = prefix / "share" / "lumenfall";
    EXPECT_TRUE(fs::exists(prefix / "bin" / "lumenfall"));
    ScratchInstallation::UseInstallation(prefix);

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
    EXPECT_TRUE(fs::exists(ResolveDataPath(settings.ActiveLogo.Path))) << settings.ActiveLogo.Path;
    EXPECT_FALSE(settings.ActiveText.Text.empty());
    EXPECT_TRUE(fs::exists(share / "help" / "index.html"));
    EXPECT_TRUE(fs::exists(prefix / "user.reg")); // the first run copied the settings for the user
}

// Everything cmake --install puts down is in its manifest, so that removing by the manifest
// leaves nothing behind; the desktop's and XScreenSaver's files are among them.
TEST(Installation, TheManifestListsEveryInstalledFile)
{
    const std::string buildDir = TestBuildFolder();
    ScratchInstallation installation;
    ASSERT_TRUE(installation.Install(buildDir));
    std::vector<std::string> installed;
    for (const auto& entry : fs::recursive_directory_iterator(installation.Prefix()))
        if (!entry.is_directory() || entry.is_symlink())
            installed.push_back(entry.path().string());
    std::vector<std::string> listed = ManifestLines(fs::path(buildDir) / "install_manifest.txt");
    std::sort(installed.begin(), installed.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, installed);

    const fs::path& prefix = installation.Prefix();
    for (const char* file : {"bin/lumenfall", "libexec/xscreensaver/lumenfall", "share/xscreensaver/config/lumenfall.xml",
                             "share/lumenfall/xscreensaver/lumenfall.programs", "share/applications/lumenfall-settings.desktop",
                             "share/applications/screensavers/lumenfall.desktop",
                             "share/icons/hicolor/scalable/apps/lumenfall.svg",
                             "share/icons/hicolor/48x48/apps/lumenfall.png", "share/man/man6/lumenfall.6.gz",
                             "etc/pam.d/lumenfall", "share/doc/lumenfall/copyright"})
        EXPECT_TRUE(fs::exists(prefix / file)) << file;
    // The hack's link reaches the program from any prefix.
    const fs::path link = prefix / "libexec" / "xscreensaver" / "lumenfall";
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::read_symlink(link).is_relative());
    EXPECT_TRUE(fs::equivalent(link, prefix / "bin" / "lumenfall"));
    std::ifstream programs(prefix / "share" / "lumenfall" / "xscreensaver" / "lumenfall.programs");
    std::string line;
    std::getline(programs, line);
    EXPECT_NE(line.find((prefix / "bin" / "lumenfall").string() + " --root"), std::string::npos) << line;
}

// The installation names its own files relative to its data folder: moved elsewhere, it
// still finds them, and a new user's copy keeps them relative.
TEST(Installation, AMovedInstallationStillFindsItsFiles)
{
    const std::string buildDir = TestBuildFolder();
    ScratchInstallation installation;
    ASSERT_TRUE(installation.Install(buildDir));
    const fs::path moved = installation.Prefix().string() + "-moved";
    fs::rename(installation.Prefix(), moved);
    ScratchInstallation::UseInstallation(moved);

    TBlankerSettings settings;
    ASSERT_TRUE(LoadBlankerSettings(settings));
    const fs::path share = moved / "share" / "lumenfall";
    EXPECT_EQ(settings.WavesDirectory, (share / "waves").string() + "/");
    EXPECT_FALSE(settings.WaveList.empty());
    EXPECT_EQ(settings.ActiveLogo.Path, "logos/lumenfall-emblem.bmp") << "stored as the installation wrote it";
    EXPECT_EQ(ResolveDataPath(settings.ActiveLogo.Path), (share / "logos" / "lumenfall-emblem.bmp").string());
    EXPECT_TRUE(fs::exists(ResolveDataPath(settings.ActiveLogo.Path)));
    for (const std::string& name : settings.LogoList) {
        TLogoConfig logo;
        LoadLogoConfig(HKEY_CURRENT_USER, logo, kLogosKey, name);
        EXPECT_TRUE(fs::path(logo.Path).is_relative()) << name << ": the user's copy keeps " << logo.Path;
        EXPECT_TRUE(fs::exists(ResolveDataPath(logo.Path))) << name;
    }
}

TEST(Installation, DataPathsResolveAgainstTheMachineHivesFolder)
{
    TTemporaryHives hives("datapaths");
    const fs::path folder = hives.MachineHive().parent_path();
    EXPECT_EQ(ResolveDataPath("waves"), (folder / "waves").string());
    EXPECT_EQ(ResolveDataPath("logos/a b.jpg"), (folder / "logos" / "a b.jpg").string());
    EXPECT_EQ(ResolveDataPath("/home/ann/Pictures/cat.jpg"), "/home/ann/Pictures/cat.jpg") << "a user's choice";
    EXPECT_EQ(ResolveDataPath(""), "") << "nothing chosen stays nothing";
}

// Every preset of the staged installation, shown on a wide and a square screen, keeps its
// figure in its drawing area. The frames sample the first minutes of the show: between two
// frames the wave jumps ahead, since its time and angle are all it remembers.
TEST(Installation, EveryShippedWavePresetStaysInItsDrawingArea)
{
    const std::string buildDir = TestBuildFolder();
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
