// Any bytes as a presets file: read or refused, never more; what is read saves and reads back
// the same.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "coralin/CrPresetFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/coralin_fuzz_presets_" + std::to_string(getpid()) + ".dat";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  const auto presets = CrLoadPresets(path);
  for (const CrPreset& p : presets)
    if (p.name.size() > 255 || p.settings.quality > 100 || p.settings.smoothing > 100) __builtin_trap();
  if (!presets.empty()) {
    if (!CrSavePresets(path, presets) || CrLoadPresets(path) != presets) __builtin_trap();
  }
  std::remove(path.c_str());
  return 0;
}
