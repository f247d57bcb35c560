#pragma once
// The scripting options every plughost command that runs a plug-in takes:
//   --descriptor FILE  --record FILE  --show-dialog  --no-scripting
#include <optional>
#include <string>

#include "plughost/descriptor.h"
#include "plughost/scripting.h"

namespace plughost {

// Lines for a command's --help.
extern const char kScriptingHelp[];

struct ScriptingCommandLine {
  ScriptingOptions options;
  std::string descriptorPath;  // --descriptor
  std::string recordPath;      // --record

  enum class Arg { NotOurs, Taken, Bad };
  // Looks at argv[i]; when it is one of ours, takes it (and its value: i moves past it).
  // Bad: `error` says why, for the command's usage message.
  Arg Take(int argc, char** argv, int& i, std::string& error);
  // Reads the --descriptor file into the options. 0, or the exit status after one line on
  // stderr saying why the file cannot be used.
  int LoadPlayback();
  // After a successful run: writes what the plug-in recorded to the --record file. 0, or the
  // exit status after one line on stderr.
  int SaveRecording(const std::optional<Descriptor>& recorded, const std::string& pluginName) const;
};

}  // namespace plughost
