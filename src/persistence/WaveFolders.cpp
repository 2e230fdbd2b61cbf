#include "persistence/WaveFolders.h"

#include "persistence/SettingsStore.h"
#include "util/WindowsTool.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool LessIgnoringCase(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(uint8_t(x)) < std::tolower(uint8_t(y));
    });
}

bool SameIgnoringCase(const std::string& a, const std::string& b)
{
    return !LessIgnoringCase(a, b) && !LessIgnoringCase(b, a);
}

// PLACEHOLDER until the store opens preset files by their real names.
std::string WavePresetFile(const std::string& folder, const std::string& name) { return folder + name + ".lmx"; }

void AppendPresetNames(const std::string& folder, std::vector<std::string>& names)
{
    if (folder.empty())
        return;
    std::vector<std::string> files;
    ListFiles(folder + "*.lmx", faAnyFile, files);
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
        if (SameIgnoringCase(held, name))
            return WavePresetFile(folder, held);
    return std::nullopt;
}

} // namespace

std::string UserWavesDirectory()
{
    // Relative values are ignored, as the base-directory rules ask.
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    fs::path base;
    if (dataHome && dataHome[0] == '/')
        base = dataHome;
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        base = fs::path(home) / ".local" / "share";
    else
        return {};
    return (base / "lumenfall" / "waves").string() + "/";
}

std::vector<std::string> ListWavePresets(const std::string& wavesDirectory, const std::string& userWavesDirectory)
{
    std::vector<std::string> names;
    AppendPresetNames(userWavesDirectory, names);
    AppendPresetNames(wavesDirectory, names);
    // A stable sort keeps the user's spelling ahead of the installation's.
    std::stable_sort(names.begin(), names.end(), LessIgnoringCase);
    names.erase(std::unique(names.begin(), names.end(), SameIgnoringCase), names.end());
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
        throw EWaveFolderError("UserWaveFileToWrite : There is no folder for your wave presets (HOME is not set).");
    std::error_code error;
    fs::create_directories(folder, error);
    if (error)
        throw EWaveFolderError("UserWaveFileToWrite : Cannot create the folder \"" + folder + "\". " + error.message());
    return ExistingWaveFile(folder, name).value_or(folder + name + ".lmx");
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
        throw EWaveFolderError("RemoveUserWave : Cannot delete \"" + *users + "\". " + error.message());
    return installed ? TWaveRemoval::InstalledRemains : TWaveRemoval::Removed;
}
