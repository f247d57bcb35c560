// Stand-in until the preset file, the registry values and the size search are in: no presets,
// no stored preferences, and a search that says it cannot run.
#include "CrStores.h"

#include "HnCode/HnErrorCode.h"

namespace coralin {

std::vector<CrPresetEntry> CrPluginStores::ReadPresets() { return {}; }
void CrPluginStores::WritePresets(const std::vector<CrPresetEntry>&) {}
std::optional<int32_t> CrPluginStores::ReadPreference(const char*) { return std::nullopt; }
void CrPluginStores::WritePreference(const char*, int32_t) {}
bool CrPluginStores::Search(Cr4Engine&, qm::platform::DialogView*, int32_t) {
  throw HnErrorCode(kHnErrInternal, 0, __FILE__, __LINE__);
}

}  // namespace coralin
