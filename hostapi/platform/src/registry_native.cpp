// The registry natively: one small text file per key and root, "name=value" a line.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>

#include "platform/registry.h"

namespace qm::platform {
namespace {

std::string ConfigFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.config";
  return {};
}

// The store's file for a key, or empty when the key path cannot name one (empty parts,
// "." or "..", or characters a file name cannot carry).
std::string KeyFile(RegistryRoot root, const std::string& key) {
  const std::string base = ConfigFolder();
  if (base.empty() || key.empty()) return {};
  std::string path = base + "/quillmere/registry/" +
                     (root == RegistryRoot::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER");
  std::stringstream parts(key);
  std::string part;
  while (std::getline(parts, part, '\\')) {
    if (part.empty() || part == "." || part == ".." || part.find('/') != std::string::npos) return {};
    path += "/" + part;
  }
  return path + ".values";
}

bool ValidName(const std::string& v) { return v.find_first_of("=\n\r") == std::string::npos; }

std::map<std::string, int32_t> Load(const std::string& file) {
  std::map<std::string, int32_t> values;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.rfind('=');
    if (eq == std::string::npos) continue;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(line.c_str() + eq + 1, &end, 10);
    if (errno || end == line.c_str() + eq + 1 || *end || v < INT32_MIN || v > INT32_MAX) continue;
    values[line.substr(0, eq)] = static_cast<int32_t>(v);
  }
  return values;
}

bool MakeFolders(const std::string& file) {
  for (size_t i = 1; (i = file.find('/', i)) != std::string::npos; ++i)
    if (mkdir(file.substr(0, i).c_str(), 0700) != 0 && errno != EEXIST) return false;
  return true;
}

}  // namespace

std::optional<int32_t> RegistryReadInt(RegistryRoot root, const std::string& key, const std::string& value) {
  const std::string file = KeyFile(root, key);
  if (file.empty() || !ValidName(value)) return std::nullopt;
  const auto values = Load(file);
  auto it = values.find(value);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

bool RegistryWriteInt(RegistryRoot root, const std::string& key, const std::string& value, int32_t v) {
  const std::string file = KeyFile(root, key);
  if (file.empty() || !ValidName(value) || !MakeFolders(file)) return false;
  auto values = Load(file);
  values[value] = v;
  // Written aside and renamed, so a reader never sees half a store.
  const std::string tmp = file + ".tmp" + std::to_string(getpid());
  {
    std::ofstream out(tmp, std::ios::trunc);
    for (const auto& [name, val] : values) out << name << '=' << val << '\n';
    out.flush();
    if (!out) {
      std::remove(tmp.c_str());
      return false;
    }
  }
  if (std::rename(tmp.c_str(), file.c_str()) != 0) {
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace qm::platform
