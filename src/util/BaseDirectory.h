#pragma once
// The user's folders of the XDG base-directory rules, for the files the program keeps per user.

#include <filesystem>

// $variable when it holds an absolute path, else $HOME/fallbackBelowHome (relative values are
// ignored, as the rules ask); empty when neither names a folder.
std::filesystem::path UserBaseDirectory(const char* variable, const char* fallbackBelowHome);
