#pragma once
// 32-bit registry values under a key of one root. Windows builds use the registry itself:
// the key is created when missing (class "blah", all access), values are stored as 4 little-
// endian bytes of type 0 and read back as 4 bytes whatever their type. Native builds keep a
// small store per root under the user's configuration folder ($XDG_CONFIG_HOME, else
// ~/.config): quillmere/registry/<root>/<key path>.
#include <cstdint>
#include <optional>
#include <string>

namespace qm::platform {

enum class RegistryRoot { LocalMachine, CurrentUser };

// Absent when the key cannot be opened or the value is missing.
std::optional<int32_t> RegistryReadInt(RegistryRoot root, const std::string& key, const std::string& value);
// False when the key cannot be created or the value not written.
bool RegistryWriteInt(RegistryRoot root, const std::string& key, const std::string& value, int32_t v);

}  // namespace qm::platform
