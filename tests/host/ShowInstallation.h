#pragma once
// An installation in a scratch folder whose user settings hold a wave preset of the test's
// choosing: white, 100 % of the base size, no logo and no text unless the test enables them.

#include "kinds/LumenfallCfg.h"
#include "persistence/SettingsStore.h"
#include "persistence/TemporaryHives.h"

#include <filesystem>
#include <string>

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
        settings.ActiveWave = &wave;
        SaveBlankerSettings(settings);
    }

    TWaveConfig wave;
    TBlankerSettings settings;

private:
    TTemporaryHives hives_;
};

