// Natively the registry is a text file per key in the user's configuration folder (Coralin's
// dialog placement, panes and download speed live there), which users and other programs can
// edit. Reading any content must not crash, and writing one value must keep every value the
// file gave before.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace {

using qm::platform::RegistryRoot;

constexpr char kKey[] = "Software\\Hollin\\Coralin\\6.x";

// The store's file for kKey under a folder of this process's own.
const std::string& StoreFile() {
  static const std::string file = [] {
    char base[] = "/tmp/qm-fuzz-registry-XXXXXX";
    if (mkdtemp(base) == nullptr) __builtin_trap();
    setenv("XDG_CONFIG_HOME", base, 1);
    if (!qm::platform::RegistryWriteInt(RegistryRoot::CurrentUser, kKey, "made", 1)) __builtin_trap();
    return std::string(base) + "/quillmere/registry/HKEY_CURRENT_USER/Software/Hollin/Coralin/6.x.values";
  }();
  return file;
}

// Names a line could give: what stands before its last or first '='.
std::vector<std::string> Names(const std::string& text) {
  std::vector<std::string> names{"", "made", "added"};
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    for (size_t eq : {line.rfind('='), line.find('=')})
      if (eq != std::string::npos) names.push_back(line.substr(0, eq));
  }
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& file = StoreFile();
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (f == nullptr || std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fclose(f) != 0)
    __builtin_trap();

  const std::vector<std::string> names = Names(text);
  std::vector<std::optional<int32_t>> before;
  for (const std::string& n : names) before.push_back(qm::platform::RegistryReadInt(RegistryRoot::CurrentUser, kKey, n));
  if (!qm::platform::RegistryWriteInt(RegistryRoot::CurrentUser, kKey, "added", -7)) __builtin_trap();
  for (size_t i = 0; i < names.size(); ++i) {
    const auto now = qm::platform::RegistryReadInt(RegistryRoot::CurrentUser, kKey, names[i]);
    const auto expected = names[i] == "added" ? std::optional<int32_t>(-7) : before[i];
    if (now != expected) __builtin_trap();
  }
  return 0;
}
