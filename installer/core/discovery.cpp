#include "discovery.h"

#include <array>
#include <string_view>

namespace installer {
namespace {

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }
bool Contains(std::string_view text, std::string_view word) { return text.find(word) != std::string_view::npos; }

// Registry reads and the settings-file readers hand over at most this much text.
constexpr size_t kMaxRegText = 255;
constexpr size_t kLinePiece = 200;
constexpr int kMaxKeyDepth = 19;
constexpr int kMaxFolderDepth = 9;
constexpr size_t kMaxRecord = 250;

std::string StripLeadingNonLetters(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && !IsLetter(s[i])) ++i;
  return s.substr(i);
}

bool HasDrive(const std::string& s) { return s.size() >= 2 && s[1] == ':'; }

// A folder and a name below it; the folders the sources give do not always end in a backslash.
std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '\\') return folder + name;
  return folder + "\\" + name;
}

// A text file as the editors' readers see it: lines, each cut into pieces of at most 200 characters.
std::vector<std::string> Pieces(const std::string& text) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) out.emplace_back();
    for (size_t i = 0; i < line.size(); i += kLinePiece) out.push_back(line.substr(i, kLinePiece));
    pos = end + 1;
  }
  return out;
}

void WalkKey(System& sys, FolderList& list, RegRoot root, const std::string& key, int depth, const RegistryWalk& walk) {
  const std::string keyLower = Lower(key);
  for (const RegValue& v : sys.Values(root, key)) {
    if (!v.isString || v.data.empty() || v.name.size() > kMaxRegText || v.data.size() > kMaxRegText) continue;
    std::string data = StripLeadingNonLetters(v.data);
    if (!HasDrive(data)) continue;
    if (*walk.keyPattern && !Contains(keyLower, walk.keyPattern)) continue;
    const std::string name = Lower(v.name);
    if (Contains(keyLower, "plug") || Contains(name, "plug") || Contains(name, "directory1") ||
        Contains(name, "directory2") || Contains(name, "directory3")) {
      list.Add(data);
    } else if (*walk.valuePattern && Contains(name, walk.valuePattern)) {
      list.Add(*walk.suffix ? Join(data, walk.suffix) : data);
    }
  }
  if (depth >= kMaxKeyDepth) return;
  for (const std::string& sub : sys.Subkeys(root, key)) WalkKey(sys, list, root, key + "\\" + sub, depth + 1, walk);
}

bool StartsWith(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }
bool EndsWith(std::string_view s, std::string_view p) { return s.size() >= p.size() && s.substr(s.size() - p.size()) == p; }

// Depth-first through a folder tree; true once a candidate has been found.
bool SearchTree(System& sys, FolderList& list, const std::string& folder, int depth, const std::string& prefix,
                const std::string& suffix, const std::string& keyword) {
  for (const DirEntry& e : sys.ListFolder(folder)) {
    if (e.isFolder) {
      if (e.name.empty() || e.name[0] == '.' || depth >= kMaxFolderDepth) continue;
      if (SearchTree(sys, list, folder + e.name + "\\", depth + 1, prefix, suffix, keyword)) return true;
      continue;
    }
    const std::string name = Lower(e.name);
    if (!StartsWith(name, prefix) || !EndsWith(name, suffix)) continue;
    auto text = sys.ReadFile(folder + e.name);
    if (!text) continue;
    for (const std::string& piece : Pieces(*text)) {
      auto found = LineCandidates(piece, keyword);
      if (!found.empty()) {
        list.Add(found.front());
        return true;
      }
    }
  }
  return false;
}

// A folder path's parent, with its backslash; empty when there is none.
std::string Parent(std::string folder) {
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  size_t cut = folder.rfind('\\');
  return cut == std::string::npos ? std::string() : folder.substr(0, cut + 1);
}

void AddFromByteScan(System& sys, FolderList& list, const std::string& className, const char* file) {
  std::string folder = ApplicationFolder(sys, className);
  if (folder.empty()) return;
  auto bytes = sys.ReadFile(folder + file);
  if (!bytes) return;
  std::string path = ScanPathRecord(*bytes);
  if (!path.empty()) list.Add(path);
}

}  // namespace

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

std::string Capitalise(std::string s) {
  for (size_t i = 0; i < s.size(); ++i)
    if (i == 0 || !IsLetter(s[i - 1])) s[i] = Upper(s[i]);
  return s;
}

bool FolderList::Add(const std::string& candidate) {
  std::string p = candidate;
  if (!p.empty() && p.back() == '\\') p.pop_back();
  if (p.empty()) return false;
  // Names of files and trailing rubbish give way to the folder that holds them, one level up at most.
  if (!sys_.SetCurrentFolder(p)) {
    for (;;) {
      p.pop_back();
      if (p.empty()) return false;
      if (sys_.SetCurrentFolder(p)) break;
      if (p.back() == '\\') return false;
    }
  }
  p = Lower(p);
  size_t maker = p.find("bran");
  if (maker != std::string::npos && maker > 0 && p[maker - 1] == '\\') p.resize(maker);
  if (p.back() != '\\') p += '\\';
  p = Capitalise(p);
  // A longer path would not fit the editors' own buffers, nor ours with the maker's folder.
  if (p.size() > kMaxPath) return false;
  for (const Folder& f : entries_)
    if (f.path == p) return false;
  if (entries_.size() >= kLimit) return false;
  entries_.push_back(Folder{p, !Contains(Lower(p), "igrafx")});
  return true;
}

void WalkRegistry(System& sys, FolderList& list, const RegistryWalk& walk) {
  const std::string start = std::string("software\\") + walk.vendor;
  WalkKey(sys, list, RegRoot::CurrentUser, start, 0, walk);
  WalkKey(sys, list, RegRoot::LocalMachine, start, 0, walk);
  WalkKey(sys, list, RegRoot::Users, ".default\\" + start, 0, walk);
}

std::string CommandFolder(const std::string& command) {
  if (command.size() < 2 || command.size() > kMaxRegText) return {};
  size_t cut = command.find_last_of('\\', command.size() - 2);
  if (cut == std::string::npos) return {};
  std::string folder = StripLeadingNonLetters(command.substr(0, cut + 1));
  return HasDrive(folder) ? folder : std::string();
}

std::string ApplicationFolder(System& sys, const std::string& className) {
  auto command = sys.DefaultValue(RegRoot::ClassesRoot, className + "\\shell\\open\\command");
  return command ? CommandFolder(*command) : std::string();
}

std::vector<std::string> LineCandidates(const std::string& line, const std::string& keyword) {
  std::vector<std::string> out;
  if (!Contains(Lower(line), keyword)) return out;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '=' && line[i] != '(') continue;
    size_t j = i + 1;
    while (j < line.size() && !IsLetter(line[j])) ++j;
    if (j + 1 < line.size() && line[j + 1] == ':') out.push_back(line.substr(j));
  }
  return out;
}

void SearchSettingsFiles(System& sys, FolderList& list, const std::string& className, const std::string& prefix,
                         const std::string& suffix, const std::string& keyword, int climb) {
  std::string folder = ApplicationFolder(sys, className);
  for (int i = 0; i < climb && !folder.empty(); ++i) folder = Parent(folder);
  if (folder.empty()) return;
  SearchTree(sys, list, folder, 0, prefix, suffix, keyword);
}

std::string ScanPathRecord(const std::string& bytes) {
  const size_t n = bytes.size();
  for (size_t i = 0; i + 4 < n; ++i) {
    if (static_cast<unsigned char>(bytes[i]) != 0x80) continue;
    const size_t length = static_cast<unsigned char>(bytes[i + 1]);
    const size_t start = i + 2;
    if (!IsLetter(bytes[start]) || bytes[start + 1] != ':' || bytes[start + 2] != '\\') continue;
    size_t end = start;
    while (end < n && bytes[end] != '\0' && end - start < kMaxRecord) ++end;
    if (end < n && bytes[end] == '\0' && end - start == length) return bytes.substr(start, length);
  }
  return {};
}

std::vector<Folder> DiscoverFolders(System& sys) {
  FolderList list(sys);
  static constexpr RegistryWalk kWalks[] = {
      {"brannock", "", "", ""},
      {"adobe", "photoshop", "", ""},
      {"jasc", "paint", "", ""},
      {"microsoft\\photodraw", "", "installdest", "photodraw\\plugins"},
      {"megalux", "", "adobeloc", ""},
      {"computerinsel", "photoline", "", ""},
      {"igrafx", "image", "", ""},
  };
  for (const RegistryWalk& w : kWalks) WalkRegistry(sys, list, w);

  SearchSettingsFiles(sys, list, "Photoshop.PlugIn", "photos", ".ini", "plugindirectory", 0);
  for (char n = '2'; n <= '5'; ++n) {
    std::string cls = "Fireworks.Doc.", prefix = "fireworks ";
    cls += n;
    prefix += n;
    prefix += " preferences";
    SearchSettingsFiles(sys, list, cls, prefix, ".txt", "extraphotoshop", 0);
  }
  static constexpr std::array<const char*, 4> kCorel = {"CorelPhotoPaint.Image.7 ", "CorelPhotoPaint.Image.8 ",
                                                        "CorelPhotoPaint.Image.9 ", "CorelPhotoPaint.Image.10"};
  for (const char* cls : kCorel) SearchSettingsFiles(sys, list, cls, "photop", ".ini", "dirs1", 1);

  if (auto ulead = sys.ReadFile(Join(sys.WindowsFolder(), "ulead32.ini")))
    for (const std::string& piece : Pieces(*ulead))
      for (const std::string& c : LineCandidates(piece, "plugindir")) list.Add(c);

  if (std::string pi3 = ApplicationFolder(sys, "PI3.Image"); !pi3.empty()) list.Add(pi3 + "plugin");
  AddFromByteScan(sys, list, "PainterFile", "painter.set");
  if (auto painter6 = sys.DefaultValue(RegRoot::LocalMachine,
                                       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Painter6.exe")) {
    if (std::string folder = CommandFolder(*painter6); !folder.empty()) list.Add(folder + "plugins");
  }
  AddFromByteScan(sys, list, "PClassicFile", "pclassic.set");
  return list.Entries();
}

}  // namespace installer
