#include "persistence/SettingsStore.h"

#include "kinds/LumenfallCfg.h"
#include "persistence/TemporaryHives.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Points both hives at files of a scratch folder for the test's lifetime.
class SettingsStoreTest : public ::testing::Test {
protected:
    SettingsStoreTest() : hives_("settings"), folder_(hives_.Folder())
    {
        fs::create_directories(folder_ / "waves");
    }

    std::string WavesFolder() const { return (folder_ / "waves").string() + "/"; }

    void SaveWaveFile(const std::string& name, int32_t particles)
    {
        TWaveConfig wave;
        wave.ParticleCount = particles;
        wave.SaveToFile(WavesFolder() + name + ".lmx");
    }

    static void PutLogo(THive& hive, const std::string& name, int32_t particles, const std::string& path)
    {
        const std::string key = std::string(kLogosKey) + "\\" + name;
        hive.SetValue(key, "ParticleCount", TRegData::Dword(uint32_t(particles)));
        hive.SetValue(key, "MotionBlur", TRegData::Dword(3));
        hive.SetValue(key, "SmoothFilter", TRegData::Dword(1));
        hive.SetValue(key, "RenderMode", TRegData::Dword(2));
        for (const char* v : {"Angle.X", "Angle.Y", "Angle.Z", "Rot.X", "Rot.Y"})
            hive.SetValue(key, v, TRegData::Float(1.5));
        hive.SetValue(key, "Rot.Z", TRegData::Float(-2.25));
        hive.SetValue(key, "Style", TRegData::Dword(1));
        hive.SetValue(key, "ColorMask", TRegData::Dword(0x00FF00FF));
        hive.SetValue(key, "Tolerance", TRegData::Dword(12));
        hive.SetValue(key, "Path", TRegData::String(path));
    }

    static void PutText(THive& hive, const std::string& name, const std::string& text)
    {
        const std::string key = std::string(kTextsKey) + "\\" + name;
        hive.SetValue(key, "MotionBlur", TRegData::Dword(1));
        hive.SetValue(key, "SmoothFilter", TRegData::Dword(0));
        hive.SetValue(key, "RenderMode", TRegData::Dword(1));
        for (const char* v : {"Angle.X", "Angle.Y", "Angle.Z", "Rot.X", "Rot.Y", "Rot.Z"})
            hive.SetValue(key, v, TRegData::Float(0.5));
        hive.SetValue(key, "Text", TRegData::String(text));
        hive.SetValue(key, "FontName", TRegData::String("Arial"));
        hive.SetValue(key, "FontSize", TRegData::Dword(48));
        const uint8_t bold = 1;
        hive.SetValue(key, "FontStyle", TRegData::Binary(&bold, 1));
        hive.SetValue(key, "Color", TRegData::Dword(0x0000FFFF));
    }

    // A complete machine-wide installation with two logo and two text presets.
    THive MachineHive()
    {
        SaveWaveFile("Intro System", 300);
        SaveWaveFile("A", 10);
        SaveWaveFile("Long name", 20);
        THive hive(HKEY_LOCAL_MACHINE);
        hive.SetValue(kSettingsKey, "WavesDirectory", TRegData::String((folder_ / "waves").string()));
        hive.SetValue(kSettingsKey, "ScreenMode", TRegData::Dword(uint32_t(-1)));
        hive.SetValue(kSettingsKey, "MultiMonitorMode", TRegData::Dword(1));
        hive.SetValue(kSettingsKey, "FeaturesHotkey", TRegData::Dword(0x6053));
        for (const char* key : {kWavesKey, kLogosKey, kTextsKey}) {
            hive.SetValue(key, "RandomSelection", TRegData::Dword(1));
            hive.SetValue(key, "Enabled", TRegData::Dword(1));
            hive.SetValue(key, "Duration", TRegData::Dword(12));
        }
        hive.SetValue(kMorphingKey, "Duration", TRegData::Dword(5));
        PutLogo(hive, "_ActiveLogo", 4000, "/logo.bmp");
        PutLogo(hive, "Bitmap Logo", 5000, "/bitmap.bmp");
        PutLogo(hive, "Mask Logo", 6000, "/mask.jpg");
        PutText(hive, "_ActiveText", "Active");
        PutText(hive, "Hello", "Hello, world");
        PutText(hive, "Ticker", "Lumenfall");
        return hive;
    }

    struct Loaded {
        TBlankerSettings settings;
        std::vector<std::string>& waves = settings.WaveList;
        std::vector<std::string>& logos = settings.LogoList;
        std::vector<std::string>& texts = settings.TextList;
        TWaveConfig& wave = *settings.ActiveWave;
        bool installed = LoadBlankerSettings(settings);
    };

    TTemporaryHives hives_;
    fs::path folder_;
    std::string machineHive_ = hives_.MachineHive().string();
    std::string userHive_ = hives_.UserHive().string();
};

} // namespace

TEST_F(SettingsStoreTest, NoMachineKeyMeansNotInstalledEvenWithAUserKey)
{
    THive user(HKEY_CURRENT_USER);
    user.SetValue(kSettingsKey, "ScreenMode", TRegData::Dword(3));
    user.SaveToFile(userHive_);
    Loaded run;
    EXPECT_FALSE(run.installed);
    EXPECT_EQ(run.settings.ScreenMode, -1);
    EXPECT_EQ(run.settings.WaveDuration, 30);
}

TEST_F(SettingsStoreTest, FirstRunReadsTheMachineKeyAndCopiesEverything)
{
    MachineHive().SaveToFile(machineHive_);
    {
        Loaded run;
        ASSERT_TRUE(run.installed);
        const TBlankerSettings& s = run.settings;
        EXPECT_EQ(s.WavesDirectory, WavesFolder());
        EXPECT_EQ(s.MultiMonitorMode, TMultiMonitorMode::mmAnimateEach);
        EXPECT_EQ(s.FeaturesHotkey, 0x6053);
        EXPECT_EQ(s.WaveDuration, 12);
        EXPECT_EQ(s.MorphDuration, 5);
        EXPECT_TRUE(s.LogoRandomSelection);
        // FirstStart is missing, so the intro preset comes from its file.
        EXPECT_EQ(run.wave.ParticleCount, 300);
        std::sort(run.waves.begin(), run.waves.end());
        EXPECT_EQ(run.waves, (std::vector<std::string>{"A", "Intro System", "Long name"}));
        EXPECT_EQ(run.logos, (std::vector<std::string>{"Bitmap Logo", "Mask Logo"}));
        EXPECT_EQ(run.texts, (std::vector<std::string>{"Hello", "Ticker"}));
        EXPECT_EQ(s.ActiveLogo.ParticleCount, 4000);
        EXPECT_EQ(s.ActiveLogo.RenderMode, TRenderMode::rmDrawStars);
        EXPECT_FLOAT_EQ(s.ActiveLogo.Rot.Z, -2.25f);
        EXPECT_EQ(s.ActiveLogo.ColorMask, 0x00FF00FFu);
        EXPECT_EQ(s.ActiveText.Text, "Active");
        EXPECT_EQ(s.ActiveText.FontStyle, 1);
        EXPECT_EQ(s.ActiveText.Color, 0x0000FFFFu);
        EXPECT_EQ(run.wave.Name, "_ActiveWave"); // saved by the first-run copy
    }
    THive user = THive::LoadFromFile(userHive_, HKEY_CURRENT_USER);
    ASSERT_NE(user.FindValue(kSettingsKey, "FirstStart"), nullptr);
    EXPECT_EQ(*user.FindValue(kSettingsKey, "FirstStart"), TRegData::Dword(0));
    EXPECT_EQ(*user.FindValue(kSettingsKey, "FeaturesHotkey"), TRegData::Dword(0x6053));
    EXPECT_TRUE(user.KeyExists(std::string(kWavesKey) + "\\_ActiveWave"));
    for (const char* logo : {"_ActiveLogo", "Bitmap Logo", "Mask Logo"})
        EXPECT_TRUE(user.KeyExists(std::string(kLogosKey) + "\\" + logo)) << logo;
    EXPECT_EQ(*user.FindValue(std::string(kLogosKey) + "\\Mask Logo", "Path"), TRegData::String("/mask.jpg"));
    for (const char* text : {"_ActiveText", "Hello", "Ticker"})
        EXPECT_TRUE(user.KeyExists(std::string(kTextsKey) + "\\" + text)) << text;

    // The second run reads the user's key and the active wave from the registry.
    SaveWaveFile("Intro System", 999);
    Loaded second;
    ASSERT_TRUE(second.installed);
    EXPECT_EQ(second.wave.ParticleCount, 300);
    EXPECT_EQ(second.wave.Name, "_ActiveWave");
    EXPECT_EQ(second.logos, (std::vector<std::string>{"Bitmap Logo", "Mask Logo"}));
}

TEST_F(SettingsStoreTest, AMissingOrBrokenActiveWaveBecomesTheBuiltInWaveAndAProblem)
{
    THive machine = MachineHive();
    machine.SetValue(kSettingsKey, "FirstStart", TRegData::Dword(1));
    machine.SaveToFile(machineHive_);
    TWaveConfig builtIn;
    SetBuiltInWave(builtIn);

    fs::remove(WavesFolder() + "Intro System.lmx");
    {
        Loaded run;
        ASSERT_TRUE(run.installed);
        ASSERT_EQ(run.settings.Problems.size(), 1u);
        EXPECT_NE(run.settings.Problems[0].find("Intro System.lmx"), std::string::npos) << run.settings.Problems[0];
        EXPECT_EQ(run.wave.ParticleCount, builtIn.ParticleCount);
        EXPECT_EQ(run.wave.Waves, builtIn.Waves);
        EXPECT_EQ(run.settings.LogoDuration, 12); // the rest is still read
        EXPECT_EQ(run.logos.size(), 2u);
    }
    // An intro outside the limits.
    fs::remove(userHive_);
    TWaveConfig tall;
    tall.Height = 0;
    tall.SaveToFile(WavesFolder() + "Intro System.lmx");
    {
        Loaded run;
        ASSERT_EQ(run.settings.Problems.size(), 1u);
        EXPECT_NE(run.settings.Problems[0].find("Intro System.lmx"), std::string::npos) << run.settings.Problems[0];
        EXPECT_EQ(run.wave.Height, 100);
    }
    // A stored active wave of no particles.
    THive user = THive::LoadFromFile(userHive_, HKEY_CURRENT_USER);
    user.SetValue(std::string(kWavesKey) + "\\_ActiveWave", "ParticleCount", TRegData::Dword(0));
    user.SaveToFile(userHive_);
    {
        Loaded run;
        ASSERT_EQ(run.settings.Problems.size(), 1u);
        EXPECT_NE(run.settings.Problems[0].find("_ActiveWave"), std::string::npos) << run.settings.Problems[0];
        EXPECT_NE(run.settings.Problems[0].find("0 particles"), std::string::npos) << run.settings.Problems[0];
        EXPECT_EQ(run.wave.ParticleCount, builtIn.ParticleCount);
    }
}

TEST_F(SettingsStoreTest, ARegistryErrorStopsTheShowKeysButNotTheGlobals)
{
    THive machine = MachineHive();
    machine.DeleteValue(kLogosKey, "Enabled");
    machine.SetValue(kSettingsKey, "OverallWidth", TRegData::String("not a number"));
    machine.SetValue(kSettingsKey, "OverallHeight", TRegData::Dword(70));
    machine.SaveToFile(machineHive_);
    Loaded run;
    ASSERT_TRUE(run.installed);
    EXPECT_EQ(run.settings.OverallWidth, 50);   // mistyped: default kept
    EXPECT_EQ(run.settings.OverallHeight, 70);  // the next global is still read
    EXPECT_TRUE(run.settings.LogoRandomSelection);
    EXPECT_EQ(run.settings.LogoDuration, 10);   // reading stopped before it
    EXPECT_EQ(run.settings.TextDuration, 10);
    EXPECT_EQ(run.settings.MorphDuration, 4);
}

TEST_F(SettingsStoreTest, FloatsOfTheWrongTypeOrSizeEndAPresetRead)
{
    THive machine = MachineHive();
    const std::string logo = std::string(kLogosKey) + "\\Mask Logo";
    const float single = 1.0f;
    machine.SetValue(logo, "Rot.X", TRegData::Binary(&single, 4));
    const std::string text = std::string(kTextsKey) + "\\Hello";
    machine.SetValue(text, "Angle.Y", TRegData::Dword(1));
    machine.SaveToFile(machineHive_);

    TLogoConfig logoConfig;
    LoadLogoConfig(HKEY_LOCAL_MACHINE, logoConfig, kLogosKey, "Mask Logo");
    EXPECT_EQ(logoConfig.Name, "Mask Logo");
    EXPECT_FLOAT_EQ(logoConfig.Angle.Z, 1.5f);  // read before the bad value
    EXPECT_FLOAT_EQ(logoConfig.Rot.X, 0.0f);    // the bad value and everything after it keep theirs
    EXPECT_EQ(logoConfig.Path, "");

    TTextConfig textConfig;
    LoadTextConfig(HKEY_LOCAL_MACHINE, textConfig, kTextsKey, "Hello");
    EXPECT_FLOAT_EQ(textConfig.Angle.X, 0.5f);
    EXPECT_FLOAT_EQ(textConfig.Angle.Y, 0.0f);
    EXPECT_EQ(textConfig.Text, "");
}

TEST_F(SettingsStoreTest, SavingRenamesOnlyTheActiveWaveAndDurationsRoundTrip)
{
    MachineHive().SaveToFile(machineHive_);
    Loaded run;
    TBlankerSettings& s = run.settings;
    s.WaveDuration = 1;
    s.LogoDuration = 86400;
    s.ActiveLogo.Name = "Bitmap Logo";
    s.ActiveText.Name = "Hello";
    run.wave.Name = "Some Preset";
    SaveBlankerSettings(s);
    EXPECT_EQ(run.wave.Name, "_ActiveWave");
    EXPECT_EQ(s.ActiveLogo.Name, "Bitmap Logo");
    EXPECT_EQ(s.ActiveText.Name, "Hello");

    Loaded again;
    EXPECT_EQ(again.settings.WaveDuration, 1);
    EXPECT_EQ(again.settings.LogoDuration, 86400);
    EXPECT_EQ(again.settings.ActiveLogo.Name, "_ActiveLogo");
}

TEST_F(SettingsStoreTest, HandEditedNumbersAreClampedIntoSafeRanges)
{
    THive machine = MachineHive();
    machine.SetValue(kWavesKey, "Duration", TRegData::Dword(uint32_t(-5)));
    machine.SetValue(kLogosKey, "Duration", TRegData::Dword(99999999));
    machine.SetValue(kSettingsKey, "OverallWidth", TRegData::Dword(0));
    machine.SetValue(std::string(kLogosKey) + "\\_ActiveLogo", "ParticleCount", TRegData::Dword(0));
    machine.SaveToFile(machineHive_);
    Loaded run;
    EXPECT_EQ(run.settings.WaveDuration, 0);
    EXPECT_EQ(run.settings.LogoDuration, kMaxDurationSeconds);
    EXPECT_EQ(run.settings.OverallWidth, 1);
    EXPECT_EQ(run.settings.ActiveLogo.ParticleCount, 1);
}

TEST_F(SettingsStoreTest, PresetsSaveAndDeleteUnderTheUsersKey)
{
    TTextConfig text;
    text.Name = "Greeting";
    text.Text = "Grüße, Welt";
    text.FontStyle = 0x0A;
    text.Angle = {1, 2, 3};
    SaveTextConfig(text, kTextsKey);
    TTextConfig back;
    LoadTextConfig(HKEY_CURRENT_USER, back, kTextsKey, "Greeting");
    EXPECT_EQ(back.Text, "Grüße, Welt");
    EXPECT_EQ(back.FontStyle, 0x0A);
    EXPECT_FLOAT_EQ(back.Angle.Z, 3.0f);
    DeleteTextConfig(text, kTextsKey);
    THive user = THive::LoadFromFile(userHive_, HKEY_CURRENT_USER);
    EXPECT_FALSE(user.KeyExists(std::string(kTextsKey) + "\\Greeting"));

    TLogoConfig logo;
    logo.Name = "Mine";
    logo.ColorMask = 0x00ABCDEF;
    SaveLogoConfig(logo, kLogosKey);
    TLogoConfig logoBack;
    LoadLogoConfig(HKEY_CURRENT_USER, logoBack, kLogosKey, "Mine");
    EXPECT_EQ(logoBack.ColorMask, 0x00ABCDEFu);
    DeleteLogoConfig(logo, kLogosKey);
    EXPECT_FALSE(THive::LoadFromFile(userHive_, HKEY_CURRENT_USER).KeyExists(std::string(kLogosKey) + "\\Mine"));
}

TEST_F(SettingsStoreTest, PresetFilesAreOpenedByTheNamesTheFolderHolds)
{
    THive machine = MachineHive();
    machine.SetValue(kSettingsKey, "FirstStart", TRegData::Dword(1));
    machine.SaveToFile(machineHive_);
    fs::remove(WavesFolder() + "Intro System.lmx");
    fs::remove(WavesFolder() + "A.lmx");
    fs::remove(WavesFolder() + "Long name.lmx");
    TWaveConfig intro;
    intro.ParticleCount = 321;
    intro.SaveToFile(WavesFolder() + "Intro System.LMX");
    SaveWaveFile("Only", 7);
    fs::rename(WavesFolder() + "Only.lmx", WavesFolder() + "Only.Lmx");

    Loaded run;
    ASSERT_TRUE(run.installed);
    EXPECT_EQ(run.wave.ParticleCount, 321);
    std::sort(run.waves.begin(), run.waves.end());
    EXPECT_EQ(run.waves, (std::vector<std::string>{"Intro System", "Only"}));
    EXPECT_EQ(WavePresetFile(WavesFolder(), "Only"), WavesFolder() + "Only.Lmx");

    // The exact spelling wins; a name the folder lacks is looked for as ".lmx".
    SaveWaveFile("Only", 8);
    EXPECT_EQ(WavePresetFile(WavesFolder(), "Only"), WavesFolder() + "Only.lmx");
    EXPECT_EQ(WavePresetFile(WavesFolder(), "Missing"), WavesFolder() + "Missing.lmx");
    EXPECT_EQ(WavePresetFile(WavesFolder(), "Onl"), WavesFolder() + "Onl.lmx");
    EXPECT_EQ(WavePresetFile("", "Only"), "");
}

TEST_F(SettingsStoreTest, AnEmptyWavesDirectoryListsNoPresets)
{
    THive machine = MachineHive();
    machine.SetValue(kSettingsKey, "WavesDirectory", TRegData::String(""));
    machine.SetValue(kSettingsKey, "FirstStart", TRegData::Dword(0));
    machine.SaveToFile(machineHive_);
    const fs::path saved = fs::current_path();
    fs::current_path(WavesFolder()); // presets in the working folder must not count either
    Loaded run;
    fs::current_path(saved);
    ASSERT_TRUE(run.installed);
    EXPECT_EQ(run.settings.WavesDirectory, "");
    EXPECT_TRUE(run.waves.empty());

    // A first start without a folder has no intro: the built-in wave, and the reason.
    fs::remove(userHive_);
    machine.SetValue(kSettingsKey, "FirstStart", TRegData::Dword(1));
    machine.SaveToFile(machineHive_);
    Loaded first;
    ASSERT_EQ(first.settings.Problems.size(), 1u);
    EXPECT_NE(first.settings.Problems[0].find("No waves folder is set"), std::string::npos) << first.settings.Problems[0];
    TWaveConfig builtIn;
    SetBuiltInWave(builtIn);
    EXPECT_EQ(first.wave.Waves, builtIn.Waves);
}
