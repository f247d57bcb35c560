// The preset file beside the host program, the registry values through WnPref, and the size
// search in its progress window.
#include "CrStores.h"

#include "WnAtom/WnPref.h"
#include "coralin/CrPresetFile.h"
#include "coralin/CrSearchWindow.h"
#include "coralin/CrTargetSearch.h"
#include "platform/host.h"

namespace coralin {
namespace {
std::string PresetPath() { return qm::platform::HostProgramFile(kCrPresetFileName); }
}  // namespace

std::vector<CrPresetEntry> CrPluginStores::ReadPresets() {
  std::vector<CrPresetEntry> out;
  for (const CrPreset& p : CrLoadPresets(PresetPath())) out.push_back({p.name, p.settings});
  return out;
}

void CrPluginStores::WritePresets(const std::vector<CrPresetEntry>& presets) {
  std::vector<CrPreset> file;
  for (const CrPresetEntry& p : presets) file.push_back({p.name, p.settings});
  CrSavePresets(PresetPath(), file);
}

std::optional<int32_t> CrPluginStores::ReadPreference(const char* name) { return WnPref().Read(name); }

void CrPluginStores::WritePreference(const char* name, int32_t value) { WnPref().Write(name, value); }

bool CrPluginStores::Search(Cr4Engine& engine, qm::platform::DialogView* owner, int32_t kilobytes) {
  CrTargetSearch search(engine);
  return CrSearchWithProgressWindow(search, owner ? owner->Window() : nullptr, kilobytes);
}

}  // namespace coralin
