#pragma once
// The stores a run and its dialog use: the preset file beside the host program, the registry
// values, and the target-size search with its progress window.
#include "CrRun.h"

namespace coralin {

class CrPluginStores final : public CrStores {
 public:
  std::vector<CrPresetEntry> ReadPresets() override;
  void WritePresets(const std::vector<CrPresetEntry>& presets) override;
  std::optional<int32_t> ReadPreference(const char* name) override;
  void WritePreference(const char* name, int32_t value) override;
  bool Search(Cr4Engine& engine, qm::platform::DialogView* owner, int32_t kilobytes) override;
};

}  // namespace coralin
