#pragma once
// The installer's view of Windows: the registry, folders and files through Win32, and the
// payload resources the program carries.
#include <vector>

#include "payload.h"
#include "system.h"

namespace installer {

class Win32System final : public System {
 public:
  std::vector<RegValue> Values(RegRoot root, const std::string& key) override;
  std::vector<std::string> Subkeys(RegRoot root, const std::string& key) override;
  std::optional<std::string> DefaultValue(RegRoot root, const std::string& key) override;
  bool SetCurrentFolder(const std::string& path) override;
  std::string CurrentFolder() override;
  bool CreateFolder(const std::string& path) override;
  std::vector<DirEntry> ListFolder(const std::string& path) override;
  std::optional<std::string> ReadFile(const std::string& path) override;
  bool WriteFile(const std::string& path, const std::string& bytes) override;
  std::string WindowsFolder() override;
};

// Every resource of the payload type in this program.
std::vector<Payload> LoadPayloads();

}  // namespace installer
