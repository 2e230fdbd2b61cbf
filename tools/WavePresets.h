#pragma once
// The wave presets shipped with the program, each stated field by field.

#include "kinds/LumenfallCfg.h"

#include <memory>
#include <vector>

std::vector<std::unique_ptr<TWaveConfig>> MakeShippedWavePresets();
