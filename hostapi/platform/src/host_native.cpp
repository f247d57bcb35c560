#include <unistd.h>

#include <climits>
#include <string>

#include "platform/host.h"

namespace qm::platform {

std::string HostProgramFolder() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  std::string exe(buf, static_cast<size_t>(n));
  const size_t cut = exe.rfind('/');
  if (cut == std::string::npos) return {};
  return cut == 0 ? std::string("/") : exe.substr(0, cut);
}

}  // namespace qm::platform
