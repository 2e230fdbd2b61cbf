#pragma once
// A scratch installation whose user settings hold a given wave preset (the machine hive
// names a waves folder in a temporary folder; Install writes the settings record), and a
// show built from it with a simulated clock.

#include "host/SaverShow.h"
#include "kinds/LumenfallCfg.h"
#include "platform/Registry.h"
#include "persistence/SettingsStore.h"
#include "persistence/TemporaryHives.h"
#include "sequencing/Sequencer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

// An installation in a scratch folder whose user settings hold the given wave preset.
class ShowInstallation {
public:
    ShowInstallation() : hives_("show")
    {
        std::filesystem::create_directories(WavesFolder());
        wave.BaseRed = wave.BaseGreen = wave.BaseBlue = 255;
        wave.Width = wave.Height = 100;
        wave.Waves[0][waX].AMBase = 25;
        wave.Waves[0][waY].AMBase = 25;
        settings.LogoEnabled = false;
        settings.TextEnabled = false;
        settings.ActiveLogo.Path = (hives_.Folder() / "missing.bmp").string();
    }

    std::string WavesFolder() const { return (hives_.Folder() / "waves").string() + "/"; }
    const std::filesystem::path& Folder() const { return hives_.Folder(); }

    void Install()
    {
        THive machine(HKEY_LOCAL_MACHINE);
        machine.SetValue(kSettingsKey, "WavesDirectory", TRegData::String(WavesFolder()));
        machine.SaveToFile(hives_.MachineHive().string());
        settings.ActiveWave->Assign(wave);
        SaveBlankerSettings(settings);
    }

    TWaveConfig wave;
    TBlankerSettings settings;

private:
    TTemporaryHives hives_;
};

// Installs, loads the settings and builds the show on a base of the given size.
struct BuiltShow {
    explicit BuiltShow(ShowInstallation& installation, int32_t baseWidth = 400, int32_t baseHeight = 400)
    {
        installation.Install();
        EXPECT_TRUE(show.LoadSettings(1));
        show.PrepareWave(baseWidth, baseHeight, 0);
        show.BuildShow();
    }
    uint32_t now = 0;
    ScopedSequencerClock clock{[this] { return now; }};
    TSaverShow show;
};
