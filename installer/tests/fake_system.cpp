#include "fake_system.h"

#include "discovery.h"

namespace installer::testing {

std::string FakeSystem::Norm(const std::string& path) {
  std::string s = Lower(path);
  for (char& c : s)
    if (c == '/') c = '\\';
  while (!s.empty() && s.back() == '\\') s.pop_back();
  return s;
}

std::string FakeSystem::Parent(const std::string& norm) {
  size_t cut = norm.rfind('\\');
  return cut == std::string::npos ? std::string() : norm.substr(0, cut);
}

FakeSystem::Key& FakeSystem::MakeKey(RegRoot root, const std::string& key) {
  const std::string k = Lower(key);
  auto it = keys_.find({root, k});
  if (it != keys_.end()) return it->second;
  size_t cut = key.rfind('\\');
  if (cut != std::string::npos) MakeKey(root, key.substr(0, cut)).subkeys.push_back(key.substr(cut + 1));
  return keys_[{root, k}];
}

const FakeSystem::Key* FakeSystem::FindKey(RegRoot root, const std::string& key) const {
  auto it = keys_.find({root, Lower(key)});
  return it == keys_.end() ? nullptr : &it->second;
}

void FakeSystem::SetString(RegRoot root, const std::string& key, const std::string& name, const std::string& data) {
  Key& k = MakeKey(root, key);
  if (name.empty())
    k.defaultValue = data;
  else
    k.values.push_back(RegValue{name, data, true});
}

void FakeSystem::SetBinary(RegRoot root, const std::string& key, const std::string& name) {
  MakeKey(root, key).values.push_back(RegValue{name, "", false});
}

void FakeSystem::SetAssociation(const std::string& className, const std::string& command) {
  SetString(RegRoot::ClassesRoot, className + "\\shell\\open\\command", "", command);
}

void FakeSystem::AddFolder(const std::string& path) {
  const std::string n = Norm(path);
  if (n.empty() || nodes_.count(n)) return;
  const std::string parent = Parent(n);
  if (!parent.empty()) AddFolder(parent);
  std::string original = path;
  while (!original.empty() && original.back() == '\\') original.pop_back();
  size_t cut = original.rfind('\\');
  nodes_[n] = Node{cut == std::string::npos ? original : original.substr(cut + 1), true, {}};
}

void FakeSystem::AddFile(const std::string& path, const std::string& bytes) {
  const std::string n = Norm(path);
  AddFolder(Parent(n));
  size_t cut = path.rfind('\\');
  nodes_[n] = Node{path.substr(cut + 1), false, bytes};
}

std::string FakeSystem::FileBytes(const std::string& path) const {
  auto it = nodes_.find(Norm(path));
  return it == nodes_.end() ? std::string() : it->second.bytes;
}

bool FakeSystem::HasFile(const std::string& path) const {
  auto it = nodes_.find(Norm(path));
  return it != nodes_.end() && !it->second.isFolder;
}

bool FakeSystem::HasFolder(const std::string& path) const {
  auto it = nodes_.find(Norm(path));
  return it != nodes_.end() && it->second.isFolder;
}

std::vector<RegValue> FakeSystem::Values(RegRoot root, const std::string& key) {
  const Key* k = FindKey(root, key);
  return k ? k->values : std::vector<RegValue>{};
}

std::vector<std::string> FakeSystem::Subkeys(RegRoot root, const std::string& key) {
  const Key* k = FindKey(root, key);
  return k ? k->subkeys : std::vector<std::string>{};
}

std::optional<std::string> FakeSystem::DefaultValue(RegRoot root, const std::string& key) {
  const Key* k = FindKey(root, key);
  return k ? k->defaultValue : std::nullopt;
}

bool FakeSystem::SetCurrentFolder(const std::string& path) {
  ++folderTests;
  if (!HasFolder(path)) return false;
  current_ = path;
  return true;
}

bool FakeSystem::CreateFolder(const std::string& path) {
  const std::string n = Norm(path);
  if (n.empty() || nodes_.count(n) || !HasFolder(Parent(n))) return false;
  AddFolder(path);
  return true;
}

std::vector<DirEntry> FakeSystem::ListFolder(const std::string& path) {
  const std::string n = Norm(path);
  std::vector<DirEntry> out;
  if (!HasFolder(n)) return out;
  out.push_back(DirEntry{".", true});
  out.push_back(DirEntry{"..", true});
  for (const auto& [p, node] : nodes_)
    if (Parent(p) == n) out.push_back(DirEntry{node.name, node.isFolder});
  return out;
}

std::optional<std::string> FakeSystem::ReadFile(const std::string& path) {
  if (!HasFile(path) || unreadable_.count(Norm(path))) return std::nullopt;
  return nodes_[Norm(path)].bytes;
}

bool FakeSystem::WriteFile(const std::string& path, const std::string& bytes) {
  const std::string n = Norm(path);
  if (readOnly_.count(n) || !HasFolder(Parent(n)) || HasFolder(n)) return false;
  AddFile(path, bytes);
  return true;
}

}  // namespace installer::testing
