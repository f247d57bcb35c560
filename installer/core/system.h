#pragma once
// What the installer asks of Windows: the registry, folders and files. The program passes the
// Win32 implementation; tests pass an in-memory registry and file tree. Paths are Windows
// paths (backslashes, drive letters); all text is single-byte.
#include <optional>
#include <string>
#include <vector>

namespace installer {

enum class RegRoot { ClassesRoot, CurrentUser, LocalMachine, Users };

struct RegValue {
  std::string name;
  std::string data;      // empty when the value is not a string
  bool isString = false;
};

struct DirEntry {
  std::string name;
  bool isFolder = false;
};

class System {
 public:
  virtual ~System() = default;

  // Values and subkey names of a key, in the registry's index order; empty when the key is missing.
  virtual std::vector<RegValue> Values(RegRoot root, const std::string& key) = 0;
  virtual std::vector<std::string> Subkeys(RegRoot root, const std::string& key) = 0;
  // The key's unnamed (default) string value.
  virtual std::optional<std::string> DefaultValue(RegRoot root, const std::string& key) = 0;

  // Makes the folder the process's current folder; false when it cannot be entered.
  virtual bool SetCurrentFolder(const std::string& path) = 0;
  virtual std::string CurrentFolder() = 0;
  // Creates one folder whose parent exists.
  virtual bool CreateFolder(const std::string& path) = 0;
  virtual std::vector<DirEntry> ListFolder(const std::string& path) = 0;
  virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
  // Creates or overwrites the file.
  virtual bool WriteFile(const std::string& path, const std::string& bytes) = 0;
  // The Windows folder, without a trailing backslash.
  virtual std::string WindowsFolder() = 0;
};

}  // namespace installer
