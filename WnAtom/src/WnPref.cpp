#include "WnAtom/WnPref.h"

#include "platform/registry.h"

using qm::platform::RegistryRoot;

WnPref::WnPref(const std::string& keyPath) : key_(keyPath.substr(0, kMaxKey)) {}

std::optional<int32_t> WnPref::Read(const char* value) const {
  if (auto v = qm::platform::RegistryReadInt(RegistryRoot::LocalMachine, key_, value)) return v;
  return qm::platform::RegistryReadInt(RegistryRoot::CurrentUser, key_, value);
}

bool WnPref::Write(const char* value, int32_t v) const {
  const bool machine = qm::platform::RegistryWriteInt(RegistryRoot::LocalMachine, key_, value, v);
  const bool user = qm::platform::RegistryWriteInt(RegistryRoot::CurrentUser, key_, value, v);
  return machine || user;
}
