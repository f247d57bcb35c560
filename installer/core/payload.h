#pragma once
// Writing the carried plug-in files into a chosen folder.
#include <string>
#include <vector>

#include "system.h"

namespace installer {

// A resource of the payload type: its name and its bytes, written out unchanged.
struct Payload {
  std::string name;
  std::string bytes;
};

// The file a payload resource is written as: "INKWRIGHT.8BF" becomes "Inkwright.8bf".
std::string FileNameFromResource(const std::string& resourceName);

// A target folder with its trailing backslash.
std::string AsFolder(std::string path);

// Enters the folder, or creates it when only its last level is missing.
bool EnterOrCreate(System& sys, const std::string& folder);

struct WriteReport {
  int written = 0;
  int skipped = 0;   // excluded by the user's options
  int failed = 0;    // could not be written
};

// Writes every payload whose file name holds none of the excluded words into the folder.
WriteReport WritePayloads(System& sys, const std::string& folder, const std::vector<Payload>& payloads,
                          const std::vector<std::string>& excluded);

}  // namespace installer
