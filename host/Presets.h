#pragma once
// Loading and saving programs and banks: a plug-in's raw chunk or one in an
// .fxp/.fxb container on the way in, always a container on the way out.

#include "host/Plugin.h"
#include "host/PresetLoader.h"

#include <string>

namespace TarvelHost {

// Returns a short description of what was loaded ("bank chunk, 4021 bytes").
std::string loadPreset(Plugin& plugin, const std::string& path);
// Writes the current program (.fxp) or the whole bank (.fxb), by extension.
std::string savePreset(Plugin& plugin, const std::string& path);
// Fails early, before a long render, when `path` cannot be saved to.
void checkPresetPath(const std::string& path);

} // namespace TarvelHost
