#pragma once
// The saver's settings in the registry: the global settings record, the logo and text
// presets, and the first-run copy of the machine-wide settings into the user's key.
//
// Ranges the store guarantees after loading (a hand-edited hive may hold anything):
// durations 0 .. 2147483 seconds (so that milliseconds and morph steps fit 32 bits),
// OverallWidth and OverallHeight 1 .. 1000 percent, a logo's ParticleCount 1 .. 1000000,
// a text's FontSize -1000 .. 1000. Other numbers are kept as read; their users cope with
// any value (unknown modes draw nothing, motion blur is capped by the fade).

#include "engine/ParticleSystem.h"
#include "engine/World3d.h"
#include "kinds/LumenfallCfg.h"
#include "platform/Registry.h"
#include "util/Exception.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

inline constexpr const char* kSettingsKey = "Software\\Quenwick\\ORBX";
inline constexpr const char* kWavesKey = "Software\\Quenwick\\ORBX\\Waves";
inline constexpr const char* kLogosKey = "Software\\Quenwick\\ORBX\\Logos";
inline constexpr const char* kTextsKey = "Software\\Quenwick\\ORBX\\Texts";
inline constexpr const char* kMorphingKey = "Software\\Quenwick\\ORBX\\Morphing";

LUMENFALL_DECLARE_EXCEPTION(ESettingsStoreError, Exception);

inline constexpr int32_t kMaxDurationSeconds = 2147483;
inline constexpr int32_t kMaxLogoParticles = 1000000;

// The stored integers of the coded settings are the enumerators' values.
enum class TLogoStyle : uint8_t { lsBitmap = 0, lsMask = 1 };
enum class TProcessPriority : uint8_t { ppDefault = 0, ppLow = 1, ppNormal = 2, ppHigh = 3 };
enum class TWaveStartMode : uint8_t { wsAlwaysRestart = 0, wsRememberPosition = 1 };
enum class TMultiMonitorMode : uint8_t { mmAnimatePrimary = 0, mmAnimateEach = 1, mmStretchOverAll = 2 };

struct TLogoConfig {
    std::string Name;
    int32_t ParticleCount = 2000;
    int32_t MotionBlur = 0;
    bool SmoothFilter = false;
    TRenderMode RenderMode = TRenderMode::rmDraw;
    TVector3d Angle{};
    TVector3d Rot{};
    TLogoStyle Style = TLogoStyle::lsBitmap;
    uint32_t ColorMask = 0;  // platform colour 0x00BBGGRR
    int32_t Tolerance = 0;
    std::string Path;
};

struct TTextConfig {
    std::string Name;
    int32_t MotionBlur = 0;
    bool SmoothFilter = false;
    TRenderMode RenderMode = TRenderMode::rmDraw;
    TVector3d Angle{};
    TVector3d Rot{};
    std::string Text;
    std::string FontName;
    int32_t FontSize = 0;
    uint8_t FontStyle = 0;   // fsBold, fsItalic, fsUnderline, fsStrikeOut
    uint32_t Color = 0;      // platform colour 0x00BBGGRR
};

struct TBlankerSettings {
    bool WaveRandomSelection = false;
    bool LogoRandomSelection = false;
    bool TextRandomSelection = false;
    bool WaveEnabled = true;
    bool LogoEnabled = true;
    bool TextEnabled = true;
    int32_t WaveDuration = 30;
    int32_t LogoDuration = 10;
    int32_t TextDuration = 10;
    int32_t MorphDuration = 4;
    std::string WavesDirectory;
    // The user's own wave presets; WaveList lists both folders.
    std::string UserWavesDirectory;
    std::vector<std::string> WaveList;
    std::unique_ptr<TWaveConfig> ActiveWave = std::make_unique<TWaveConfig>(); // never null
    std::vector<std::string> LogoList;
    TLogoConfig ActiveLogo;
    std::vector<std::string> TextList;
    TTextConfig ActiveText;
    bool StretchFullScr = true;
    int32_t ScreenMode = -1;
    TProcessPriority ProcessPriority = TProcessPriority::ppDefault;
    uint16_t FeaturesHotkey = 0x4053; // Ctrl+S: virtual key in the low byte, 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt
    bool OverrideDrawArea = false;
    int32_t OverallWidth = 50;
    int32_t OverallHeight = 50;
    TWaveStartMode WaveStartMode = TWaveStartMode::wsAlwaysRestart;
    TMultiMonitorMode MultiMonitorMode = TMultiMonitorMode::mmAnimatePrimary;
    // Filled by loading: one line for each preset that could not be used, naming its file
    // or key and the reason. The record holds a usable preset in its place.
    std::vector<std::string> Problems;
};

// Fills the record, its preset lists included. False when the product is not installed.
// An active wave (the intro file on a first start, else the stored one) that cannot be read
// or breaks the loader's limits becomes the built-in wave, with a line in Problems.
bool LoadBlankerSettings(TBlankerSettings& settings);
// Writes everything to the user's key; renames the record's ActiveWave to "_ActiveWave".
void SaveBlankerSettings(const TBlankerSettings& settings);

// A path read from either hive. The installation stores the paths of its own files (the waves
// folder, the help file, the logo pictures) relative to its data folder, the folder of the
// machine hive (share/lumenfall), so that a moved installation or a package unpacked under
// another root keeps finding them: those are resolved against that folder. Absolute paths,
// such as the ones users choose, and an empty one come back unchanged.
std::string ResolveDataPath(const std::string& path);

// The file of the wave preset of that name in the waves folder, by the name the folder
// really holds: the extension ".lmx" in any case ("Only.LMX"), the exact spelling first.
// Folder + name + ".lmx" when the folder holds no such file, so that errors name what was
// looked for; empty when there is no waves folder.
std::string WavePresetFile(const std::string& wavesDirectory, const std::string& name);

// The wave shown when no stored preset can be: a slowly turning ring of coloured particles
// over 100 percent of the screen.
void SetBuiltInWave(TWaveConfig& wave);

// Wave presets live in two folders: the installation's, which users cannot write, and the
// user's own. The list holds one entry per name (names compared without regard to case,
// like registry keys), and a name opens the user's file before the installation's.

// $XDG_DATA_HOME/lumenfall/waves/, by default ~/.local/share/lumenfall/waves/, with a
// trailing delimiter; empty when neither variable names a folder.
std::string UserWavesDirectory();
// The preset names of both folders, sorted, one per name; the user's spelling wins.
std::vector<std::string> ListWavePresets(const std::string& wavesDirectory, const std::string& userWavesDirectory);
// The file to open for a listed name: the user's when there is one, else the installation's.
std::string WaveFileToOpen(const TBlankerSettings& settings, const std::string& name);
// The user's file for a name: the one the folder holds, else a new one in it. Creates the
// folder; raises ESettingsStoreError when there is no user folder or it cannot be made.
std::string UserWaveFileToWrite(const TBlankerSettings& settings, const std::string& name);

enum class TWaveRemoval {
    Removed,          // no preset of that name is left
    InstalledRemains, // the user's file is gone; the installation's shows again
    NotTheUsers,      // only the installation has it: nothing was deleted
};
// Deletes the user's file of that name; raises ESettingsStoreError when it cannot.
TWaveRemoval RemoveUserWave(const TBlankerSettings& settings, const std::string& name);

void LoadLogoConfig(TRootKey root, TLogoConfig& config, const std::string& keyPath, const std::string& name);
void SaveLogoConfig(const TLogoConfig& config, const std::string& keyPath);
void DeleteLogoConfig(const TLogoConfig& config, const std::string& keyPath);
void LoadTextConfig(TRootKey root, TTextConfig& config, const std::string& keyPath, const std::string& name);
void SaveTextConfig(const TTextConfig& config, const std::string& keyPath);
void DeleteTextConfig(const TTextConfig& config, const std::string& keyPath);
