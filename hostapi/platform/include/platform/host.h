#pragma once
// Where the program that loaded us lives, for files kept beside the host program.
#include <string>

namespace qm::platform {

// The folder of the host program's executable, without a trailing separator: on Windows
// from the process command line, natively the running executable's folder. Empty when
// unknown (files then go to the current folder).
std::string HostProgramFolder();

// A file of that folder: folder, separator, name (the bare name when the folder is empty).
std::string HostProgramFile(const std::string& name);

// The command line's first token (quoted: up to the closing quote; else up to the first
// space or the end) cut before its last backslash; empty when it has none.
std::string FolderFromCommandLine(const char* commandLine);

}  // namespace qm::platform
