#include "config/CfgHelp.h"

#include "config/CfgPage.h"
#include "persistence/SettingsStore.h"
#include "platform/Registry.h"

#include <filesystem>

std::string ReadHelpFile()
{
    std::string file;
    try {
        TRegistry reg(KEY_READ);
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        if (reg.OpenKey(std::string("\\") + kSettingsKey, false))
            file = reg.ReadString("Help");
        reg.CloseKey();
    } catch (const ERegistryException&) {
        return {};
    }
    if (file.empty())
        return file;
    std::filesystem::path path(file);
    if (path.is_relative())
        path = std::filesystem::absolute(std::filesystem::path(HiveFileName(HKEY_LOCAL_MACHINE)).parent_path() / path);
    return path.lexically_normal().string();
}

QString HelpAnchor(int context)
{
    switch (context) {
    case hcWaveComponent: return "wave-components";
    case hcOverview: return "overview";
    case hcAboutText: return "about";
    case hcLogoPicture: return "logo-picture";
    case hcGeneral: return "general";
    case hcWaves: return "waves";
    case hcLogos: return "logos";
    case hcTexts: return "texts";
    default: return {};
    }
}

QUrl HelpTopicUrl(const std::string& helpFile, int context)
{
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(helpFile));
    if (const QString anchor = HelpAnchor(context); !anchor.isEmpty())
        url.setFragment(anchor);
    return url;
}
