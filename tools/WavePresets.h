#pragma once
// The wave presets shipped with the program, each stated field by field; the first is the
// intro, the active wave of a new installation.

#include "kinds/LumenfallCfg.h"

#include <memory>
#include <vector>

std::vector<std::unique_ptr<TWaveConfig>> MakeShippedWavePresets();
