#include "shapes/shape_file.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>

namespace velune {

std::string join_path(const std::string& folder, const std::string& name) {
#if defined(_WIN32)
  const char separator = '\\';
#else
  const char separator = '/';
#endif
  if (folder.empty()) {
    return name;
  }
  const char last = folder.back();
  if (last == separator || last == '/') {
    return folder + name;
  }
  return folder + separator + name;
}

// dirent and stat are narrow on both systems (ANSI on Windows), matching TIFFOpen.
std::vector<DirectoryEntry> list_directory(const std::string& folder) {
  std::vector<DirectoryEntry> entries;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    return entries;
  }
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") {
      continue;
    }
    struct stat info {};
    const bool is_directory = stat(join_path(folder, name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    entries.push_back(DirectoryEntry{name, is_directory});
  }
  closedir(dir);
  // Listing order differs between systems; sorted names make the choice reproducible.
  std::sort(entries.begin(), entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  return entries;
}

int32_t leading_number(const std::string& name) {
  std::size_t i = 0;
  while (i < name.size() && (name[i] == ' ' || (name[i] >= '\t' && name[i] <= '\r'))) {
    ++i;
  }
  bool negative = false;
  if (i < name.size() && (name[i] == '+' || name[i] == '-')) {
    negative = name[i] == '-';
    ++i;
  }
  int64_t value = 0;
  for (; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i) {
    value = value * 10 + (name[i] - '0');
    if (value > INT32_MAX) {
      value = INT32_MAX;
    }
  }
  return static_cast<int32_t>(negative ? -value : value);
}

namespace {

bool has_tif_extension(const std::string& name) {
  if (name.size() < 4) {
    return false;
  }
  std::string ext = name.substr(name.size() - 4);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
  return ext == ".tif";
}

}  // namespace

ShapeFileChoice choose_shape_file(const std::string& shape_folder, int32_t requested) {
  ShapeFileChoice choice;
  int64_t best_difference = -1;
  for (const DirectoryEntry& entry : list_directory(shape_folder)) {
    if (entry.is_directory || !has_tif_extension(entry.name)) {
      continue;
    }
    const int32_t number = leading_number(entry.name.substr(0, entry.name.size() - 4));
    choice.largest = std::max(choice.largest, number);
    if (number <= 0 || number < requested) {
      continue;
    }
    const int64_t difference = static_cast<int64_t>(number) - requested;
    if (best_difference < 0 || difference < best_difference) {
      best_difference = difference;
      choice.path = join_path(shape_folder, entry.name);
      choice.size = number;
    }
  }
  return choice;
}

}  // namespace velune
