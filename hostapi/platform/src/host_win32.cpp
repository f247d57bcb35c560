#include <windows.h>

#include "platform/host.h"

namespace qm::platform {

std::string HostProgramFolder() { return FolderFromCommandLine(GetCommandLineA()); }

}  // namespace qm::platform
