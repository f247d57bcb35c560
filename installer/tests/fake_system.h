#pragma once
// An in-memory registry and file tree standing in for Windows. Keys and paths are matched
// without regard to case, as Windows does.
#include <map>
#include <set>
#include <string>

#include "system.h"

namespace installer::testing {

class FakeSystem final : public System {
 public:
  // Creates the key (and the keys above it) and adds a string value; name "" is the default value.
  void SetString(RegRoot root, const std::string& key, const std::string& name, const std::string& data);
  void SetBinary(RegRoot root, const std::string& key, const std::string& name);
  void SetAssociation(const std::string& className, const std::string& command);
  // Creates the folder and every folder above it.
  void AddFolder(const std::string& path);
  // Creates the file (and its folders).
  void AddFile(const std::string& path, const std::string& bytes);
  void MakeReadOnly(const std::string& path) { readOnly_.insert(Norm(path)); }
  void MakeUnreadable(const std::string& path) { unreadable_.insert(Norm(path)); }
  std::string FileBytes(const std::string& path) const;
  bool HasFile(const std::string& path) const;
  bool HasFolder(const std::string& path) const;

  std::vector<RegValue> Values(RegRoot root, const std::string& key) override;
  std::vector<std::string> Subkeys(RegRoot root, const std::string& key) override;
  std::optional<std::string> DefaultValue(RegRoot root, const std::string& key) override;
  bool SetCurrentFolder(const std::string& path) override;
  std::string CurrentFolder() override { return current_; }
  bool CreateFolder(const std::string& path) override;
  std::vector<DirEntry> ListFolder(const std::string& path) override;
  std::optional<std::string> ReadFile(const std::string& path) override;
  bool WriteFile(const std::string& path, const std::string& bytes) override;
  std::string WindowsFolder() override { return "C:\\Windows"; }

  int folderTests = 0;  // SetCurrentFolder calls

 private:
  struct Key {
    std::vector<RegValue> values;
    std::vector<std::string> subkeys;
    std::optional<std::string> defaultValue;
  };
  struct Node {
    std::string name;
    bool isFolder = false;
    std::string bytes;
  };
  static std::string Norm(const std::string& path);
  static std::string Parent(const std::string& norm);
  Key& MakeKey(RegRoot root, const std::string& key);
  const Key* FindKey(RegRoot root, const std::string& key) const;

  std::map<std::pair<RegRoot, std::string>, Key> keys_;
  std::map<std::string, Node> nodes_;  // by normalised path
  std::set<std::string> readOnly_, unreadable_;
  std::string current_ = "C:\\";
};

}  // namespace installer::testing
