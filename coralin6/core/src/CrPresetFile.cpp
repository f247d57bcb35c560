#include "coralin/CrPresetFile.h"

#include <algorithm>
#include <cstring>

#include "HnCode/HnErrorCode.h"
#include "HnCode/HnFile.h"

namespace {
const char kMagic[14] = {'C', 'o', 'r', 'a', 'l', 'i', 'n', '4', '0', '0', 'P', 'r', 'e', 'f'};

void Encode(const CrPreset& p, uint8_t (&r)[kCrPresetRecordSize]) {
  std::memset(r, 0, sizeof r);
  std::memcpy(r, p.name.data(), std::min<size_t>(p.name.size(), 255));
  const CrSettings& s = p.settings;
  r[256] = s.quality;
  r[257] = s.smoothing;
  r[258] = s.betterSampling;
  r[259] = s.optimize;
  r[260] = s.progressive;
  r[261] = s.smoothingOperation;
  r[262] = s.targetOn;
  const uint32_t t = static_cast<uint32_t>(s.targetSize);
  for (int i = 0; i < 4; ++i) r[264 + i] = static_cast<uint8_t>(t >> (8 * i));
}

CrPreset Decode(uint8_t (&r)[kCrPresetRecordSize]) {
  CrPreset p;
  r[255] = 0;  // a name without terminator is cut to 255 characters
  p.name = reinterpret_cast<const char*>(r);
  CrSettings& s = p.settings;
  s.quality = std::min<uint8_t>(r[256], 100);
  s.smoothing = std::min<uint8_t>(r[257], 100);
  s.betterSampling = r[258];
  s.optimize = r[259];
  s.progressive = r[260];
  s.smoothingOperation = r[261];
  s.targetOn = r[262];
  uint32_t t = 0;
  for (int i = 0; i < 4; ++i) t |= static_cast<uint32_t>(r[264 + i]) << (8 * i);
  s.targetSize = static_cast<int32_t>(t);
  return p;
}
}  // namespace

std::vector<CrPreset> CrReadPresets(const std::string& path) {
  HnFile f;
  f.Open(path.c_str(), HnFile::kRead);
  char magic[sizeof kMagic];
  f.Read(magic, sizeof magic);
  if (std::memcmp(magic, kMagic, sizeof kMagic) != 0) HN_THROW(kHnErrBadFormat);
  uint8_t count[2];
  f.Read(count, 2);
  const uint32_t n = count[0] | static_cast<uint32_t>(count[1]) << 8;
  std::vector<CrPreset> presets;
  for (uint32_t i = 0; i < n; ++i) {
    uint8_t r[kCrPresetRecordSize];
    f.Read(r, sizeof r);
    presets.push_back(Decode(r));
  }
  if (!presets.empty()) presets.front().name = kCrLastSettings;
  f.Close();
  return presets;
}

void CrWritePresets(const std::string& path, const std::vector<CrPreset>& presets) {
  // The count is 16 bits: presets past 65535 cannot be kept.
  const size_t n = std::min<size_t>(presets.size(), 65535);
  HnFile f;
  f.Open(path.c_str(), HnFile::kWrite);
  f.Write(kMagic, sizeof kMagic);
  const uint8_t count[2] = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8)};
  f.Write(count, 2);
  for (size_t i = 0; i < n; ++i) {
    uint8_t r[kCrPresetRecordSize];
    Encode(presets[i], r);
    f.Write(r, sizeof r);
  }
  f.Close();
}

std::vector<CrPreset> CrLoadPresets(const std::string& path) {
  try {
    return CrReadPresets(path);
  } catch (const HnErrorCode&) {
  } catch (const std::bad_alloc&) {
  }
  return {};
}

bool CrSavePresets(const std::string& path, const std::vector<CrPreset>& presets) {
  try {
    CrWritePresets(path, presets);
    return true;
  } catch (const HnErrorCode&) {
  } catch (const std::bad_alloc&) {
  }
  return false;
}

const CrPreset* CrLastSettings(const std::vector<CrPreset>& presets) {
  return presets.empty() ? nullptr : &presets.front();
}
