#pragma once
// plughost's After Effects commands: `effect` renders frames through an effect, `about`
// shows its about box, and `info` adds what an effect declares.
#include <string>

#include "plughost/module.h"

namespace plughost {

int EffectCommand(int argc, char** argv);
int AboutCommand(int argc, char** argv);
// The effect-specific part of `plughost info`: its version and flags, and (when this host
// can load the module) the parameters it declares.
void PrintEffectInfo(const std::string& path, const PluginFileInfo& info);

}  // namespace plughost
