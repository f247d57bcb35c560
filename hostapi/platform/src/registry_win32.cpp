#include <windows.h>

#include "platform/registry.h"

namespace qm::platform {
namespace {

HKEY RootKey(RegistryRoot root) { return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

HKEY OpenKey(RegistryRoot root, const std::string& key) {
  HKEY h = nullptr;
  DWORD disposition = 0;
  char cls[] = "blah";
  if (RegCreateKeyExA(RootKey(root), key.c_str(), 0, cls, 0, KEY_ALL_ACCESS, nullptr, &h, &disposition) !=
      ERROR_SUCCESS)
    return nullptr;
  return h;
}

}  // namespace

std::optional<int32_t> RegistryReadInt(RegistryRoot root, const std::string& key, const std::string& value) {
  HKEY h = OpenKey(root, key);
  if (!h) return std::nullopt;
  BYTE data[4] = {0, 0, 0, 0};
  DWORD size = sizeof data, type = 0;
  const LONG r = RegQueryValueExA(h, value.c_str(), nullptr, &type, data, &size);
  RegCloseKey(h);
  if (r != ERROR_SUCCESS) return std::nullopt;
  return static_cast<int32_t>(static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                              static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24);
}

bool RegistryWriteInt(RegistryRoot root, const std::string& key, const std::string& value, int32_t v) {
  HKEY h = OpenKey(root, key);
  if (!h) return false;
  const uint32_t u = static_cast<uint32_t>(v);
  const BYTE data[4] = {static_cast<BYTE>(u), static_cast<BYTE>(u >> 8), static_cast<BYTE>(u >> 16),
                        static_cast<BYTE>(u >> 24)};
  const LONG r = RegSetValueExA(h, value.c_str(), 0, REG_NONE, data, sizeof data);
  RegCloseKey(h);
  return r == ERROR_SUCCESS;
}

}  // namespace qm::platform
