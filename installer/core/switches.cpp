#include "switches.h"

#include "discovery.h"

namespace installer {
namespace {

// Windows switches are written either way round and with either mark.
bool IsSwitch(const std::string& arg, const char* name) {
  if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return false;
  return Lower(arg.substr(1)) == Lower(name);
}

}  // namespace

const char* const kUsage = "usage: installer [/list | /S [/D=FOLDER]]";

Switches ParseSwitches(const std::vector<std::string>& args) {
  Switches s;
  for (const std::string& a : args) {
    if (IsSwitch(a, "list") && s.mode == Mode::Window) {
      s.mode = Mode::List;
    } else if (IsSwitch(a, "s") && s.mode == Mode::Window) {
      s.mode = Mode::Silent;
    } else if (a.size() > 3 && (a[0] == '/' || a[0] == '-') && Lower(a.substr(1, 2)) == "d=") {
      s.folder = a.substr(3);
    } else {
      s.mode = Mode::Usage;
      s.problem = "installer: unknown switch \"" + a + "\"";
      return s;
    }
  }
  if (!s.folder.empty() && s.mode != Mode::Silent) {
    s.mode = Mode::Usage;
    s.problem = "installer: /D= goes with /S";
  }
  return s;
}

std::string ListText(System& sys) {
  std::string out;
  for (const Folder& f : DiscoverFolders(sys)) out += f.Display() + "\n";
  return out;
}

int InstallSilently(System& sys, const std::vector<Payload>& payloads, const std::string& folder, std::string& problem) {
  std::string target = folder;
  if (target.empty()) {
    auto found = DiscoverFolders(sys);
    if (found.empty()) {
      problem = "installer: no plug-in folder found; name one with /D=FOLDER";
      return 3;
    }
    target = found.front().Display();
  }
  target = AsFolder(target);
  if (!EnterOrCreate(sys, target)) {
    problem = "installer: cannot enter or create the folder " + target;
    return 4;
  }
  if (payloads.empty()) {
    problem = "installer: this program carries no plug-in";
    return 5;
  }
  WriteReport r = WritePayloads(sys, target, payloads, {});
  if (r.failed > 0 || r.written == 0) {
    problem = "installer: cannot write the plug-in into " + target;
    return 5;
  }
  return 0;
}

}  // namespace installer
