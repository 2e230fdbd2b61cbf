#pragma once
// Wave presets live in two folders: the installation's, which users cannot write, and the
// user's own. The gallery shows one entry per name (names compared without regard to
// case, like registry keys), and a name opens the user's file before the installation's.

#include "util/Exception.h"

#include <string>
#include <vector>

struct TBlankerSettings;

LUMENFALL_DECLARE_EXCEPTION(EWaveFolderError, Exception);

// $XDG_DATA_HOME/lumenfall/waves/, by default ~/.local/share/lumenfall/waves/, with a
// trailing delimiter; empty when neither variable names a folder.
std::string UserWavesDirectory();

// The preset names of both folders, sorted, one per name; the user's spelling wins.
std::vector<std::string> ListWavePresets(const std::string& wavesDirectory, const std::string& userWavesDirectory);

// The file to open for a listed name: the user's when there is one, else the installation's.
std::string WaveFileToOpen(const TBlankerSettings& settings, const std::string& name);
// The user's file for a name: the one the folder holds, else a new one in it. Creates the
// folder; raises EWaveFolderError when there is no user folder or it cannot be made.
std::string UserWaveFileToWrite(const TBlankerSettings& settings, const std::string& name);

enum class TWaveRemoval {
    Removed,          // no preset of that name is left
    InstalledRemains, // the user's file is gone; the installation's shows again
    NotTheUsers,      // only the installation has it: nothing was deleted
};
// Deletes the user's file of that name; raises EWaveFolderError when it cannot.
TWaveRemoval RemoveUserWave(const TBlankerSettings& settings, const std::string& name);
