#pragma once
// The switches for deployment and tests beside the window: /list and /S [/D=FOLDER].
#include <string>
#include <vector>

#include "payload.h"
#include "system.h"

namespace installer {

enum class Mode { Window, List, Silent, Usage };

struct Switches {
  Mode mode = Mode::Window;
  std::string folder;  // /D=, empty for the first found folder
  std::string problem; // why the switches were refused
};

Switches ParseSwitches(const std::vector<std::string>& args);

extern const char* const kUsage;

// The found folders as the list shows them, one a line.
std::string ListText(System& sys);

// Installs without a window; returns the exit status and, when it is not 0, a line saying why.
int InstallSilently(System& sys, const std::vector<Payload>& payloads, const std::string& folder, std::string& problem);

}  // namespace installer
