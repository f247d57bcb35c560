#pragma once
// The presets file "Cr6preffile.dat" beside the host program: magic "Coralin400Pref", a
// 16-bit little-endian count and 268-byte records (a 256-byte name, seven setting bytes, a
// spare byte and the target kilobytes, 32-bit little-endian). Record 0 is "Last settings".
#include <cstdint>
#include <string>
#include <vector>

#include "coralin/CrSettings.h"

struct CrPreset {
  std::string name;  // at most 255 characters
  CrSettings settings;
  bool operator==(const CrPreset&) const = default;
};

constexpr const char* kCrPresetFileName = "Cr6preffile.dat";
constexpr const char* kCrLastSettings = "Last settings";
constexpr const char* kCrDefaultPreset = "Default";
constexpr size_t kCrPresetRecordSize = 268;

// Raises HnErrorCode: opening as HnFile does (10, 14, 12, 9, 1), 32 for a foreign file, 18
// for one cut short.
std::vector<CrPreset> CrReadPresets(const std::string& path);
// Creates or truncates the file; raises the write's code (22 on a full disk and the like).
void CrWritePresets(const std::string& path, const std::vector<CrPreset>& presets);

// What callers use: a missing, foreign or damaged file is an empty list; write errors are
// ignored (false).
std::vector<CrPreset> CrLoadPresets(const std::string& path);
bool CrSavePresets(const std::string& path, const std::vector<CrPreset>& presets);

// Record 0 under its fixed name, or nothing (nullptr) for an empty list.
const CrPreset* CrLastSettings(const std::vector<CrPreset>& presets);
