#include "persistence/SettingsStore.h"

#include "kinds/LumenfallCfg.h"
#include "util/AsciiCase.h"
#include "util/BaseDirectory.h"
#include "util/WindowsTool.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* kWaveExtension = ".lmx";
constexpr const char* kIntroPresetName = "Intro System";

std::string FromRoot(const std::string& path) { return "\\" + path; }

std::string PresetKey(const std::string& keyPath, const std::string& name) { return FromRoot(keyPath + "\\" + name); }

// Each read keeps the field's value when the registry has no usable value.
template <typename Read>
void TryRead(Read read)
{
    try {
        read();
    } catch (const ERegistryException&) {
    }
}

TRenderMode ReadRenderMode(TRegistry& reg, const char* name) { return TRenderMode(uint8_t(reg.ReadInteger(name))); }

void ReadVector(TRegistry& reg, const std::string& name, TVector3d& v)
{
    v.X = float(reg.ReadFloat(name + ".X"));
    v.Y = float(reg.ReadFloat(name + ".Y"));
    v.Z = float(reg.ReadFloat(name + ".Z"));
}

void WriteVector(TRegistry& reg, const std::string& name, const TVector3d& v)
{
    reg.WriteFloat(name + ".X", v.X);
    reg.WriteFloat(name + ".Y", v.Y);
    reg.WriteFloat(name + ".Z", v.Z);
}

int32_t ClampDuration(int32_t seconds) { return std::clamp(seconds, 0, kMaxDurationSeconds); }

void ClampToSafeRanges(TBlankerSettings& s)
{
    s.WaveDuration = ClampDuration(s.WaveDuration);
    s.LogoDuration = ClampDuration(s.LogoDuration);
    s.TextDuration = ClampDuration(s.TextDuration);
    s.MorphDuration = ClampDuration(s.MorphDuration);
    s.OverallWidth = std::clamp(s.OverallWidth, 1, 1000);
    s.OverallHeight = std::clamp(s.OverallHeight, 1, 1000);
}

// "RandomSelection", "Enabled" and "Duration" of the open show key.
void ReadShowValues(TRegistry& reg, bool& randomSelection, bool& enabled, int32_t& duration)
{
    randomSelection = reg.ReadBool("RandomSelection");
    enabled = reg.ReadBool("Enabled");
    duration = reg.ReadInteger("Duration");
}

void WriteShowValues(TRegistry& reg, bool randomSelection, bool enabled, int32_t duration)
{
    reg.WriteBool("RandomSelection", randomSelection);
    reg.WriteBool("Enabled", enabled);
    reg.WriteInteger("Duration", duration);
}

// The subkey names of the open key without the active preset's.
void FillPresetList(TRegistry& reg, std::vector<std::string>& list, const std::string& activeName)
{
    list = reg.GetKeyNames();
    std::erase_if(list, [&](const std::string& n) { return SameNoCase(n, activeName); });
}

void ReadGlobalValues(TRegistry& reg, TBlankerSettings& s, bool& firstStart)
{
    firstStart = true;
    TryRead([&] { firstStart = reg.ReadBool("FirstStart"); });
    TryRead([&] { s.ScreenMode = reg.ReadInteger("ScreenMode"); });
    TryRead([&] { s.StretchFullScr = reg.ReadBool("StretchFullScr"); });
    TryRead([&] { s.OverrideDrawArea = reg.ReadBool("OverrideDrawArea"); });
    TryRead([&] { s.OverallWidth = reg.ReadInteger("OverallWidth"); });
    TryRead([&] { s.OverallHeight = reg.ReadInteger("OverallHeight"); });
    TryRead([&] { s.WaveStartMode = TWaveStartMode(uint8_t(reg.ReadInteger("WaveStartMode"))); });
    TryRead([&] { s.ProcessPriority = TProcessPriority(uint8_t(reg.ReadInteger("ProcessPriority"))); });
    TryRead([&] { s.FeaturesHotkey = uint16_t(reg.ReadInteger("FeaturesHotkey")); });
    TryRead([&] { s.MultiMonitorMode = TMultiMonitorMode(uint8_t(reg.ReadInteger("MultiMonitorMode"))); });
}

// A preset that cannot be shown is replaced by the built-in wave and named in Problems.
void LoadActiveWave(TRootKey root, TBlankerSettings& s, bool firstStart)
{
    try {
        if (!firstStart) {
            s.ActiveWave->LoadFromRegistry(root, kWavesKey, "_ActiveWave");
            return;
        }
        const std::string intro = WaveFileToOpen(s, kIntroPresetName);
        if (intro.empty()) {
            s.Problems.push_back(std::string("LoadBlankerSettings : No waves folder is set, so \"") + kIntroPresetName +
                                 kWaveExtension + "\" cannot be found");
            SetBuiltInWave(*s.ActiveWave);
            return;
        }
        s.ActiveWave->LoadFromFile(intro);
    } catch (const EWaveConfigError& e) {
        s.Problems.push_back(e.what());
        SetBuiltInWave(*s.ActiveWave);
    }
}

// Reads the show keys in their fixed order; the first registry error ends the reading.
void ReadShowKeys(TRegistry& reg, TRootKey root, TBlankerSettings& s, bool firstStart)
{
    try {
        reg.OpenKey(FromRoot(kWavesKey), true);
        ReadShowValues(reg, s.WaveRandomSelection, s.WaveEnabled, s.WaveDuration);
        LoadActiveWave(root, s, firstStart);
        s.WaveList = ListWavePresets(s.WavesDirectory, s.UserWavesDirectory);
        reg.CloseKey();

        reg.OpenKey(FromRoot(kLogosKey), true);
        ReadShowValues(reg, s.LogoRandomSelection, s.LogoEnabled, s.LogoDuration);
        LoadLogoConfig(root, s.ActiveLogo, kLogosKey, "_ActiveLogo");
        FillPresetList(reg, s.LogoList, "_ActiveLogo");
        reg.CloseKey();

        reg.OpenKey(FromRoot(kTextsKey), true);
        ReadShowValues(reg, s.TextRandomSelection, s.TextEnabled, s.TextDuration);
        LoadTextConfig(root, s.ActiveText, kTextsKey, "_ActiveText");
        FillPresetList(reg, s.TextList, "_ActiveText");
        reg.CloseKey();

        reg.OpenKey(FromRoot(kMorphingKey), true);
        s.MorphDuration = reg.ReadInteger("Duration");
        reg.CloseKey();
    } catch (const ERegistryException&) {
    }
}

// The first run of a user: everything read from the machine's key goes into the user's.
void CopyMachineSettingsToUser(const TBlankerSettings& s)
{
    SaveBlankerSettings(s);
    for (const std::string& name : s.LogoList) {
        TLogoConfig logo;
        LoadLogoConfig(HKEY_LOCAL_MACHINE, logo, kLogosKey, name);
        SaveLogoConfig(logo, kLogosKey);
    }
    for (const std::string& name : s.TextList) {
        TTextConfig text;
        LoadTextConfig(HKEY_LOCAL_MACHINE, text, kTextsKey, name);
        SaveTextConfig(text, kTextsKey);
    }
}

} // namespace

std::string ResolveDataPath(const std::string& path)
{
    if (path.empty() || path.front() == '/')
        return path;
    const std::filesystem::path folder = std::filesystem::path(HiveFileName(HKEY_LOCAL_MACHINE)).parent_path();
    return (folder / path).string();
}

bool LoadBlankerSettings(TBlankerSettings& settings)
{
    TBlankerSettings& s = settings;
    {
        // The active presets are not reset: what the store cannot read keeps its value.
        TBlankerSettings defaults;
        defaults.ActiveWave = std::move(s.ActiveWave);
        defaults.ActiveLogo = std::move(s.ActiveLogo);
        defaults.ActiveText = std::move(s.ActiveText);
        s = std::move(defaults);
    }

    bool firstRun = false;
    bool firstStart = true;
    TRootKey root = HKEY_LOCAL_MACHINE;
    {
        TRegistry reg(KEY_READ);
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        if (!reg.KeyExists(FromRoot(kSettingsKey)))
            return false;
        if (reg.OpenKey(FromRoot(kSettingsKey), false))
            TryRead([&] { s.WavesDirectory = ResolveDataPath(reg.ReadString("WavesDirectory")); });
        reg.CloseKey();
        // An empty folder stays empty: a lone delimiter would make it the root folder.
        if (!s.WavesDirectory.empty() && s.WavesDirectory.back() != '/')
            s.WavesDirectory += '/';
        s.UserWavesDirectory = UserWavesDirectory();

        reg.SetRootKey(HKEY_CURRENT_USER);
        if (reg.KeyExists(FromRoot(kSettingsKey)))
            root = HKEY_CURRENT_USER;
        else
            firstRun = true;
        reg.SetRootKey(root);

        if (reg.OpenKey(FromRoot(kSettingsKey), false))
            ReadGlobalValues(reg, s, firstStart);
        reg.CloseKey();
        ReadShowKeys(reg, root, s, firstStart);
    }
    ClampToSafeRanges(s);
    if (firstRun)
        CopyMachineSettingsToUser(s);
    return true;
}

std::string WavePresetFile(const std::string& wavesDirectory, const std::string& name)
{
    if (wavesDirectory.empty())
        return {};
    const std::string expected = wavesDirectory + name + kWaveExtension;
    std::error_code error;
    if (std::filesystem::exists(expected, error))
        return expected;
    for (std::filesystem::directory_iterator it(wavesDirectory, error), end; !error && it != end; it.increment(error)) {
        const std::string found = it->path().filename().string();
        if (found.size() == name.size() + 4 && found.compare(0, name.size(), name) == 0 &&
            SameNoCase(std::string_view(found).substr(name.size()), kWaveExtension))
            return wavesDirectory + found;
    }
    return expected;
}

void SetBuiltInWave(TWaveConfig& wave)
{
    wave.Assign(TWaveConfig());
    wave.Name = "Built-in Wave";
    wave.ParticleCount = 3000;
    wave.Width = 100;
    wave.Height = 100;
    // A ring of a third of the screen that breathes and wobbles in depth.
    wave.Waves[0][waX] = {90.0f, 32.0f, 4.0f, 0.3f, 1.0f, 0.0f, 0.0f};
    wave.Waves[0][waY] = {0.0f, 32.0f, 4.0f, 0.3f, 1.0f, 0.0f, 0.0f};
    wave.Waves[1][waZ] = {0.0f, 12.0f, 6.0f, 0.2f, 5.0f, 0.0f, 0.0f};
    wave.BaseRed = wave.BaseGreen = wave.BaseBlue = 150.0f;
    wave.AmpRed = wave.AmpGreen = wave.AmpBlue = 100.0f;
    wave.Rot = {0.3f, 0.2f, 0.1f};
    wave.MotionBlur = 3;
}

namespace {

void AppendPresetNames(const std::string& folder, std::vector<std::string>& names)
{
    if (folder.empty())
        return;
    std::vector<std::string> files;
    ListFiles(folder + "*" + kWaveExtension, faAnyFile, files);
    for (std::string& file : files) {
        file.resize(file.size() - std::min<size_t>(4, file.size()));
        names.push_back(std::move(file));
    }
}

// The file of that name that the folder holds, or nothing. The list spells a name as one
// of the folders does, so the other may hold it in another case.
std::optional<std::string> ExistingWaveFile(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return std::nullopt;
    const std::string file = WavePresetFile(folder, name);
    std::error_code error;
    if (fs::is_regular_file(file, error))
        return file;
    std::vector<std::string> names;
    AppendPresetNames(folder, names);
    for (const std::string& held : names)
        if (SameNoCase(held, name))
            return WavePresetFile(folder, held);
    return std::nullopt;
}

} // namespace

std::string UserWavesDirectory()
{
    const fs::path base = UserBaseDirectory("XDG_DATA_HOME", ".local/share");
    if (base.empty())
        return {};
    return (base / "lumenfall" / "waves").string() + "/";
}

std::vector<std::string> ListWavePresets(const std::string& wavesDirectory, const std::string& userWavesDirectory)
{
    std::vector<std::string> names;
    AppendPresetNames(userWavesDirectory, names);
    AppendPresetNames(wavesDirectory, names);
    // A stable sort keeps the user's spelling ahead of the installation's.
    std::stable_sort(names.begin(), names.end(), TNoCaseLess());
    const auto same = [](const std::string& a, const std::string& b) { return SameNoCase(a, b); };
    names.erase(std::unique(names.begin(), names.end(), same), names.end());
    return names;
}

std::string WaveFileToOpen(const TBlankerSettings& settings, const std::string& name)
{
    if (const auto users = ExistingWaveFile(settings.UserWavesDirectory, name))
        return *users;
    if (const auto installed = ExistingWaveFile(settings.WavesDirectory, name))
        return *installed;
    return WavePresetFile(settings.WavesDirectory, name);
}

std::string UserWaveFileToWrite(const TBlankerSettings& settings, const std::string& name)
{
    const std::string& folder = settings.UserWavesDirectory;
    if (folder.empty())
        throw ESettingsStoreError("UserWaveFileToWrite : There is no folder for your wave presets (HOME is not set).");
    std::error_code error;
    fs::create_directories(folder, error);
    if (error)
        throw ESettingsStoreError("UserWaveFileToWrite : Cannot create the folder \"" + folder + "\". " + error.message());
    return ExistingWaveFile(folder, name).value_or(folder + name + kWaveExtension);
}

TWaveRemoval RemoveUserWave(const TBlankerSettings& settings, const std::string& name)
{
    const bool installed = ExistingWaveFile(settings.WavesDirectory, name).has_value();
    const auto users = ExistingWaveFile(settings.UserWavesDirectory, name);
    if (!users)
        return installed ? TWaveRemoval::NotTheUsers : TWaveRemoval::Removed;
    std::error_code error;
    fs::remove(*users, error);
    if (error)
        throw ESettingsStoreError("RemoveUserWave : Cannot delete \"" + *users + "\". " + error.message());
    return installed ? TWaveRemoval::InstalledRemains : TWaveRemoval::Removed;
}

void SaveBlankerSettings(const TBlankerSettings& settings)
{
    const TBlankerSettings& s = settings;
    TRegistry reg(KEY_ALL_ACCESS);
    reg.SetRootKey(HKEY_CURRENT_USER);
    reg.OpenKey(FromRoot(kSettingsKey), true);
    reg.WriteInteger("ScreenMode", s.ScreenMode);
    reg.WriteBool("StretchFullScr", s.StretchFullScr);
    reg.WriteBool("OverrideDrawArea", s.OverrideDrawArea);
    reg.WriteInteger("OverallWidth", s.OverallWidth);
    reg.WriteInteger("OverallHeight", s.OverallHeight);
    reg.WriteInteger("WaveStartMode", int32_t(s.WaveStartMode));
    reg.WriteInteger("ProcessPriority", int32_t(s.ProcessPriority));
    reg.WriteInteger("FeaturesHotkey", s.FeaturesHotkey);
    reg.WriteBool("FirstStart", false);
    reg.WriteInteger("MultiMonitorMode", int32_t(s.MultiMonitorMode));
    reg.CloseKey();

    reg.OpenKey(FromRoot(kWavesKey), true);
    WriteShowValues(reg, s.WaveRandomSelection, s.WaveEnabled, s.WaveDuration);
    reg.CloseKey();
    s.ActiveWave->Name = "_ActiveWave";
    s.ActiveWave->SaveToRegistry(kWavesKey);

    reg.OpenKey(FromRoot(kLogosKey), true);
    WriteShowValues(reg, s.LogoRandomSelection, s.LogoEnabled, s.LogoDuration);
    reg.CloseKey();
    TLogoConfig activeLogo = s.ActiveLogo;
    activeLogo.Name = "_ActiveLogo";
    SaveLogoConfig(activeLogo, kLogosKey);

    reg.OpenKey(FromRoot(kTextsKey), true);
    WriteShowValues(reg, s.TextRandomSelection, s.TextEnabled, s.TextDuration);
    reg.CloseKey();
    TTextConfig activeText = s.ActiveText;
    activeText.Name = "_ActiveText";
    SaveTextConfig(activeText, kTextsKey);

    reg.OpenKey(FromRoot(kMorphingKey), true);
    reg.WriteInteger("Duration", s.MorphDuration);
    reg.CloseKey();
}

namespace {

// Reads a preset key; the first registry error ends the reading and keeps the rest.
template <typename Read>
void ReadPreset(TRootKey root, const std::string& keyPath, const std::string& name, Read read)
{
    TRegistry reg(KEY_READ);
    reg.SetRootKey(root);
    try {
        reg.OpenKey(PresetKey(keyPath, name), true);
        read(reg);
        reg.CloseKey();
    } catch (const ERegistryException&) {
    }
}

// Writes a preset key of the user's; registry errors are not reported.
template <typename Write>
void WritePreset(const std::string& keyPath, const std::string& name, Write write)
{
    try {
        TRegistry reg(KEY_ALL_ACCESS);
        reg.SetRootKey(HKEY_CURRENT_USER);
        reg.OpenKey(PresetKey(keyPath, name), true);
        write(reg);
        reg.CloseKey();
    } catch (const ERegistryException&) {
    }
}

void DeletePreset(const std::string& keyPath, const std::string& name)
{
    try {
        TRegistry reg(KEY_ALL_ACCESS);
        reg.SetRootKey(HKEY_CURRENT_USER);
        reg.DeleteKey(PresetKey(keyPath, name));
        reg.Flush();
    } catch (const ERegistryException&) {
    }
}

} // namespace

void LoadLogoConfig(TRootKey root, TLogoConfig& config, const std::string& keyPath, const std::string& name)
{
    config.Name = name;
    ReadPreset(root, keyPath, name, [&](TRegistry& reg) {
        config.ParticleCount = reg.ReadInteger("ParticleCount");
        config.MotionBlur = reg.ReadInteger("MotionBlur");
        config.SmoothFilter = reg.ReadBool("SmoothFilter");
        config.RenderMode = ReadRenderMode(reg, "RenderMode");
        ReadVector(reg, "Angle", config.Angle);
        ReadVector(reg, "Rot", config.Rot);
        config.Style = TLogoStyle(uint8_t(reg.ReadInteger("Style")));
        config.ColorMask = uint32_t(reg.ReadInteger("ColorMask"));
        config.Tolerance = reg.ReadInteger("Tolerance");
        config.Path = reg.ReadString("Path");
    });
    config.ParticleCount = std::clamp(config.ParticleCount, 1, kMaxLogoParticles);
}

void SaveLogoConfig(const TLogoConfig& config, const std::string& keyPath)
{
    WritePreset(keyPath, config.Name, [&](TRegistry& reg) {
        reg.WriteInteger("ParticleCount", config.ParticleCount);
        reg.WriteInteger("MotionBlur", config.MotionBlur);
        reg.WriteBool("SmoothFilter", config.SmoothFilter);
        reg.WriteInteger("RenderMode", int32_t(config.RenderMode));
        WriteVector(reg, "Angle", config.Angle);
        WriteVector(reg, "Rot", config.Rot);
        reg.WriteInteger("Style", int32_t(config.Style));
        reg.WriteInteger("ColorMask", int32_t(config.ColorMask));
        reg.WriteInteger("Tolerance", config.Tolerance);
        reg.WriteString("Path", config.Path);
    });
}

void DeleteLogoConfig(const TLogoConfig& config, const std::string& keyPath) { DeletePreset(keyPath, config.Name); }

void LoadTextConfig(TRootKey root, TTextConfig& config, const std::string& keyPath, const std::string& name)
{
    config.Name = name;
    ReadPreset(root, keyPath, name, [&](TRegistry& reg) {
        config.MotionBlur = reg.ReadInteger("MotionBlur");
        config.SmoothFilter = reg.ReadBool("SmoothFilter");
        config.RenderMode = ReadRenderMode(reg, "RenderMode");
        ReadVector(reg, "Angle", config.Angle);
        ReadVector(reg, "Rot", config.Rot);
        config.Text = reg.ReadString("Text");
        config.FontName = reg.ReadString("FontName");
        config.FontSize = reg.ReadInteger("FontSize");
        uint8_t style = 0;
        reg.ReadBinaryData("FontStyle", &style, 1);
        config.FontStyle = style;
        config.Color = uint32_t(reg.ReadInteger("Color"));
    });
    config.FontSize = std::clamp(config.FontSize, -1000, 1000);
}

void SaveTextConfig(const TTextConfig& config, const std::string& keyPath)
{
    WritePreset(keyPath, config.Name, [&](TRegistry& reg) {
        reg.WriteInteger("MotionBlur", config.MotionBlur);
        reg.WriteBool("SmoothFilter", config.SmoothFilter);
        reg.WriteInteger("RenderMode", int32_t(config.RenderMode));
        WriteVector(reg, "Angle", config.Angle);
        WriteVector(reg, "Rot", config.Rot);
        reg.WriteString("Text", config.Text);
        reg.WriteString("FontName", config.FontName);
        reg.WriteInteger("FontSize", config.FontSize);
        reg.WriteBinaryData("FontStyle", &config.FontStyle, 1);
        reg.WriteInteger("Color", int32_t(config.Color));
    });
}

void DeleteTextConfig(const TTextConfig& config, const std::string& keyPath) { DeletePreset(keyPath, config.Name); }
