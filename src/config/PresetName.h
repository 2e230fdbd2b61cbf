#pragma once
// Names of stored presets: they become file names and registry key names, so some are refused.

#include <QString>

#include <optional>

inline constexpr int kMaxPresetNameBytes = 200;

// Why the name cannot name a preset, or nothing when it can: empty, with "/", "\" or a line
// break, starting with "_Active" in any case (the active presets' keys), or longer than
// kMaxPresetNameBytes in UTF-8.
std::optional<QString> PresetNameProblem(const QString& name);
