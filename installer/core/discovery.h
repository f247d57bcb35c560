#pragma once
// Finds the folders into which the machine's image editors load Photoshop-compatible filter
// plug-ins: registry keys of the editors' makers, file associations and the editors' own
// settings files. The search only reads.
#include <string>
#include <vector>

#include "system.h"

namespace installer {

struct Folder {
  std::string path;          // ends in a backslash
  bool appendMaker = true;   // the list shows it with the maker's subfolder
  // The text the list shows and the install command writes into.
  std::string Display() const { return appendMaker ? path + kMakerFolder : path; }
  static constexpr const char* kMakerFolder = "Brannock\\";
};

class FolderList {
 public:
  static constexpr size_t kLimit = 20;
  static constexpr size_t kMaxPath = 400;

  explicit FolderList(System& sys) : sys_(sys) {}

  // The one gate every candidate passes: cut to an existing folder, the maker's folder to its
  // parent, capitalised, listed once. Returns whether it was listed.
  bool Add(const std::string& candidate);

  const std::vector<Folder>& Entries() const { return entries_; }

 private:
  System& sys_;
  std::vector<Folder> entries_;
};

// One registry walk over the current user's, the machine's and the default user's
// software\<vendor> key. Empty patterns mean "any" / "none".
struct RegistryWalk {
  const char* vendor;
  const char* keyPattern;
  const char* valuePattern;
  const char* suffix;
};
void WalkRegistry(System& sys, FolderList& list, const RegistryWalk& walk);

// The folder of the program that opens a file class (ends in a backslash), or empty.
std::string ApplicationFolder(System& sys, const std::string& className);
// A command line or program path cut to its folder, or empty when it names no drive path.
std::string CommandFolder(const std::string& command);

// The candidates of one settings-file line that mentions the keyword (lowercase).
std::vector<std::string> LineCandidates(const std::string& line, const std::string& keyword);

// Settings files under the application folder of a class; the first candidate ends it.
void SearchSettingsFiles(System& sys, FolderList& list, const std::string& className, const std::string& prefix,
                         const std::string& suffix, const std::string& keyword, int climb);

// The first path record of a binary settings file, or empty.
std::string ScanPathRecord(const std::string& bytes);

// Every source in its order.
std::vector<Folder> DiscoverFolders(System& sys);

// Lowercase and the editors' capitalisation (first character and every one after a non-letter).
std::string Lower(std::string s);
std::string Capitalise(std::string s);

}  // namespace installer
