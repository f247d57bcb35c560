// Iris-shape folders: listing them and choosing the size image for a render.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velune {

struct DirectoryEntry {
  std::string name;
  bool is_directory = false;
};

// Entries of a folder in byte order of their names, without "." and "..". Names and paths
// are single-byte (ANSI on Windows), the same narrow paths libtiff opens. An unreadable
// folder lists as empty.
std::vector<DirectoryEntry> list_directory(const std::string& folder);

// Joins folder and name with the platform's separator.
std::string join_path(const std::string& folder, const std::string& name);

// Leading decimal number of a file name as atol reads it (leading blanks and a sign
// allowed); names that do not start with a number give 0. Saturates instead of overflowing.
int32_t leading_number(const std::string& name);

struct ShapeFileChoice {
  std::string path;     // empty when no file is large enough
  int32_t size = 0;     // number of the chosen file
  int32_t largest = 0;  // largest number among the folder's size images
  bool found() const { return !path.empty(); }
};

// Picks, among the folder's "<N>.tif" files, the one with the smallest N at least
// `requested`; the first listed wins a tie. Files that are not numbered (N <= 0) are
// never picked, and directories are skipped.
ShapeFileChoice choose_shape_file(const std::string& shape_folder, int32_t requested);

}  // namespace velune
