// The folder search reads other programs' settings files (ulead32.ini, photoshop.ini, the
// Fireworks and Corel preferences, Painter's binary .set files) and their registry text, none
// of which we control. Any content must leave the search with a list the window and the
// install command can use: at most kLimit existing folders, each once, ending in a backslash
// and short enough for the editors' buffers. The files sit in an in-memory machine.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "discovery.h"
#include "../tests/fake_system.h"

namespace {

using installer::RegRoot;

// The input's parts, in the order below, are split at this line.
constexpr char kSeparator[] = "\n--8<--\n";

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> parts;
  size_t pos = 0;
  for (;;) {
    const size_t cut = text.find(kSeparator, pos);
    if (cut == std::string::npos) break;
    parts.push_back(text.substr(pos, cut - pos));
    pos = cut + sizeof kSeparator - 1;
  }
  parts.push_back(text.substr(pos));
  parts.resize(8);
  return parts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> part = Split(std::string(reinterpret_cast<const char*>(data), size));
  installer::testing::FakeSystem sys;
  for (const char* f : {"C:\\Editor\\Plug-Ins\\Brannock", "C:\\Editor\\Filters", "C:\\Ulead\\Plugin", "D:\\Plug"})
    sys.AddFolder(f);
  sys.SetAssociation("Photoshop.PlugIn", "C:\\Ps\\Photoshp.exe");
  sys.SetAssociation("Fireworks.Doc.5", "\"C:\\Fw\\Fireworks.exe\" \"%1\"");
  sys.SetAssociation("CorelPhotoPaint.Image.10", "C:\\Corel\\Programs\\photopnt.exe");
  sys.SetAssociation("PainterFile", "C:\\Painter\\painter.exe");
  sys.SetAssociation("PClassicFile", "C:\\Classic\\pclassic.exe");
  sys.AddFile("C:\\Windows\\ulead32.ini", part[0]);
  sys.AddFile("C:\\Ps\\Settings\\photoshop.ini", part[1]);
  sys.AddFile("C:\\Fw\\fireworks 5 preferences.txt", part[2]);
  sys.AddFile("C:\\Corel\\photop10.ini", part[3]);
  sys.AddFile("C:\\Painter\\painter.set", part[4]);
  sys.AddFile("C:\\Classic\\pclassic.set", part[5]);
  if (!part[6].empty()) sys.SetAssociation("PI3.Image", part[6]);
  if (!part[7].empty()) sys.SetString(RegRoot::LocalMachine, "Software\\Adobe\\Photoshop\\7.0", "PluginPath", part[7]);

  const std::vector<installer::Folder> found = installer::DiscoverFolders(sys);
  if (found.size() > installer::FolderList::kLimit) __builtin_trap();
  for (size_t i = 0; i < found.size(); ++i) {
    const std::string& p = found[i].path;
    if (p.empty() || p.back() != '\\' || p.size() > installer::FolderList::kMaxPath || !sys.HasFolder(p))
      __builtin_trap();
    for (size_t j = 0; j < i; ++j)
      if (found[j].path == p) __builtin_trap();
  }

  // The byte scan on its own: a record it returns is a drive path with no terminator inside.
  const std::string record = installer::ScanPathRecord(std::string(reinterpret_cast<const char*>(data), size));
  if (!record.empty() && (record.size() < 3 || record[1] != ':' || record[2] != '\\' ||
                          record.find('\0') != std::string::npos))
    __builtin_trap();
  return 0;
}
