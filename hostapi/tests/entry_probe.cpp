// Stands in for a plug-in: hidden by default, with one entry exported through the macro.
#include "hostapi/PIFilter.h"

extern "C" int qm_probe_hidden() { return 1; }  // no export macro, so it must stay hidden

PI_ENTRY_POINT(PluginMain) {
  auto* record = static_cast<FilterRecord*>(pluginParamBlock);
  record->bufferSpace = qm_probe_hidden() + 41;
  *pluginData = selector;
  *result = noErr;
}
