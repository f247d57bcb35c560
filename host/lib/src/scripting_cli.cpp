#include "plughost/scripting_cli.h"

#include <cstdio>

#include "plughost/results.h"

namespace plughost {
namespace {
// A file named on the command line that cannot be read or written (see the README).
constexpr int kExitFile = kExitInput;
}  // namespace

const char kScriptingHelp[] =
    "\n"
    "scripting options (every command that runs a plug-in):\n"
    "  --descriptor FILE       play the step back with the scripting parameters in FILE\n"
    "                          (one key a line: KEY TYPE VALUE, e.g. 'crQu long 75',\n"
    "                          'expo doub 0.5', 'exsi bool true', 'code enum encd eD48',\n"
    "                          'dist UntF #Pxl 12', 'clss type Fmt ', 'name TEXT any text')\n"
    "  --show-dialog           a played-back step still shows the plug-in's dialog\n"
    "  --record FILE           save the scripting parameters the plug-in hands back\n"
    "  --no-scripting          withhold the descriptor suites (no descriptor parameters)\n";

ScriptingCommandLine::Arg ScriptingCommandLine::Take(int argc, char** argv, int& i, std::string& error) {
  const std::string a = argv[i];
  auto value = [&](std::string& into) {
    if (i + 1 >= argc || !*argv[i + 1]) {
      error = a + " needs a file name";
      return Arg::Bad;
    }
    into = argv[++i];
    return Arg::Taken;
  };
  if (a == "--descriptor") return value(descriptorPath);
  if (a == "--record") return value(recordPath);
  if (a == "--show-dialog") {
    options.showDialog = true;
    return Arg::Taken;
  }
  if (a == "--no-scripting") {
    options.withhold = true;
    return Arg::Taken;
  }
  return Arg::NotOurs;
}

int ScriptingCommandLine::LoadPlayback() {
  if (descriptorPath.empty()) return 0;
  if (options.withhold) {
    std::fprintf(stderr, "plughost: --descriptor cannot be played back with --no-scripting\n");
    return kExitUsage;
  }
  try {
    options.playback = ReadDescriptorFile(descriptorPath);
  } catch (const DescriptorError& e) {
    std::fprintf(stderr, "plughost: %s\n", e.what());
    return kExitFile;
  }
  return 0;
}

int ScriptingCommandLine::SaveRecording(const std::optional<Descriptor>& recorded,
                                        const std::string& pluginName) const {
  if (recordPath.empty()) return 0;
  if (!recorded) {
    std::fprintf(stderr, "plughost: %s recorded no scripting parameters; %s not written\n", pluginName.c_str(),
                 recordPath.c_str());
    return 0;
  }
  try {
    WriteDescriptorFile(recordPath, *recorded);
  } catch (const DescriptorError& e) {
    std::fprintf(stderr, "plughost: %s\n", e.what());
    return kExitFile;
  }
  std::printf("plughost: %s: recorded %s\n", pluginName.c_str(), recordPath.c_str());
  return 0;
}

}  // namespace plughost
