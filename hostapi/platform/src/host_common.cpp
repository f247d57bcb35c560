#include "platform/host.h"

namespace qm::platform {

std::string FolderFromCommandLine(const char* commandLine) {
  if (!commandLine) return {};
  std::string first;
  const char* p = commandLine;
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') first += *p++;
  } else {
    while (*p && *p != ' ') first += *p++;
  }
  const size_t cut = first.rfind('\\');
  return cut == std::string::npos ? std::string() : first.substr(0, cut);
}

std::string HostProgramFile(const std::string& name) {
  const std::string folder = HostProgramFolder();
#ifdef _WIN32
  const char sep = '\\';
#else
  const char sep = '/';
#endif
  return folder.empty() ? name : folder + sep + name;
}

}  // namespace qm::platform
