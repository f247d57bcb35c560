#include "payload.h"

#include "discovery.h"

namespace installer {
namespace {

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

}  // namespace

std::string FileNameFromResource(const std::string& resourceName) {
  std::string s = Lower(resourceName);
  if (s.empty()) return s;
  s[0] = Upper(s[0]);
  // The last character is never looked at: it has nothing after it to capitalise.
  size_t i = 0;
  while (i + 1 < s.size()) {
    const char c = s[i];
    if (c == '_' && s[i + 1] == '_') {
      s.erase(i, 2);
      if (i < s.size()) s[i] = Upper(s[i]);
      continue;
    }
    if (c == '_') {
      s[i] = ' ';
    } else if (c == ':') {
      s.erase(i, 1);
      continue;
    } else if (!IsLetter(c) && c != '\'' && c != '.' && c != '8') {
      s[i + 1] = Upper(s[i + 1]);
    }
    ++i;
  }
  return s;
}

std::string AsFolder(std::string path) {
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  return path;
}

bool EnterOrCreate(System& sys, const std::string& folder) {
  if (folder.empty()) return false;
  return sys.SetCurrentFolder(folder) || (sys.CreateFolder(folder) && sys.SetCurrentFolder(folder));
}

WriteReport WritePayloads(System& sys, const std::string& folder, const std::vector<Payload>& payloads,
                          const std::vector<std::string>& excluded) {
  WriteReport report;
  for (const Payload& p : payloads) {
    const std::string file = FileNameFromResource(p.name);
    bool skip = file.empty();
    for (const std::string& word : excluded)
      if (!word.empty() && Lower(file).find(Lower(word)) != std::string::npos) skip = true;
    if (skip) {
      ++report.skipped;
      continue;
    }
    if (sys.WriteFile(folder + file, p.bytes))
      ++report.written;
    else
      ++report.failed;
  }
  return report;
}

}  // namespace installer
