#include "persistence/SettingsStore.h"

#include "host/ShowInstallation.h"
#include "kinds/LumenfallCfg.h"
#include "persistence/TemporaryHives.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

namespace fs = std::filesystem;

namespace {

class UserWavesTest : public ::testing::Test {
protected:
    UserWavesTest()
    {
        settings.WavesDirectory = Installed().string() + "/";
        settings.UserWavesDirectory = UserWavesDirectory();
    }

    fs::path Installed() const { return hives.Folder() / "waves"; }
    fs::path Users() const { return hives.UserWavesFolder(); }

    static void Write(const fs::path& file, int32_t particles)
    {
        fs::create_directories(file.parent_path());
        TWaveConfig wave;
        wave.ParticleCount = particles;
        wave.SaveToFile(file.string());
    }

    static int32_t ParticlesOf(const std::string& file)
    {
        TWaveConfig wave;
        wave.LoadFromFile(file);
        return wave.ParticleCount;
    }

    TTemporaryHives hives{"userwaves"};
    TBlankerSettings settings;
};

// Sets or clears an environment variable for one scope.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedVariable() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST_F(UserWavesTest, TheUsersFolderFollowsTheDataHome)
{
    EXPECT_EQ(UserWavesDirectory(), Users().string() + "/");
    {
        ScopedVariable relative("XDG_DATA_HOME", "relative/data");
        ScopedVariable home("HOME", "/home/someone");
        EXPECT_EQ(UserWavesDirectory(), "/home/someone/.local/share/lumenfall/waves/");
    }
    ScopedVariable unset("XDG_DATA_HOME", nullptr);
    ScopedVariable noHome("HOME", nullptr);
    EXPECT_EQ(UserWavesDirectory(), "");
    settings.UserWavesDirectory = UserWavesDirectory();
    EXPECT_THROW(UserWaveFileToWrite(settings, "New"), ESettingsStoreError);
}

TEST_F(UserWavesTest, TheListIsTheUnionOfBothFoldersOneEntryPerName)
{
    Write(Installed() / "Shared.lmx", 1);
    Write(Installed() / "A.lmx", 2);
    Write(Installed() / "zed.LMX", 3);
    Write(Users() / "shared.lmx", 4);
    Write(Users() / "Mine.Lmx", 5);
    EXPECT_EQ(ListWavePresets(settings.WavesDirectory, settings.UserWavesDirectory),
              (std::vector<std::string>{"A", "Mine", "shared", "zed"}));
    EXPECT_EQ(ListWavePresets(settings.WavesDirectory, ""), (std::vector<std::string>{"A", "Shared", "zed"}));
    EXPECT_EQ(ListWavePresets("", ""), std::vector<std::string>{});
}

TEST_F(UserWavesTest, TheUsersFileShadowsTheInstalledOne)
{
    Write(Installed() / "Shared.lmx", 1);
    Write(Users() / "shared.lmx", 4);
    Write(Users() / "Mine.Lmx", 5);
    EXPECT_EQ(ParticlesOf(WaveFileToOpen(settings, "shared")), 4);
    EXPECT_EQ(ParticlesOf(WaveFileToOpen(settings, "Mine")), 5);
    EXPECT_EQ(UserWaveFileToWrite(settings, "Mine"), (Users() / "Mine.Lmx").string());
    EXPECT_EQ(UserWaveFileToWrite(settings, "New"), (Users() / "New.lmx").string());

    EXPECT_EQ(RemoveUserWave(settings, "shared"), TWaveRemoval::InstalledRemains);
    EXPECT_EQ(ParticlesOf(WaveFileToOpen(settings, "shared")), 1) << "the installation's, in its own spelling";
    EXPECT_EQ(RemoveUserWave(settings, "shared"), TWaveRemoval::NotTheUsers);
    EXPECT_TRUE(fs::exists(Installed() / "Shared.lmx"));
    EXPECT_EQ(RemoveUserWave(settings, "Mine"), TWaveRemoval::Removed);
    EXPECT_FALSE(fs::exists(Users() / "Mine.Lmx"));
}

TEST(UserWaves, TheStoreListsBothFoldersAndTheSaverPicksTheUsersFile)
{
    ShowInstallation installation;
    installation.settings.WaveRandomSelection = true;
    TWaveConfig mine;
    mine.Assign(installation.wave);
    mine.ParticleCount = 44;
    const fs::path users = fs::path(UserWavesDirectory());
    fs::create_directories(users);
    mine.SaveToFile((users / "Only.lmx").string());
    TWaveConfig shipped;
    shipped.Assign(installation.wave);
    shipped.SaveToFile(installation.WavesFolder() + "only.lmx");
    BuiltShow built(installation);
    EXPECT_EQ(built.show.Settings().WaveList, std::vector<std::string>{"Only"});
    EXPECT_EQ(built.show.Settings().UserWavesDirectory, users.string());
    EXPECT_EQ(built.show.ActiveWave().ParticleCount, 44);
}

} // namespace
