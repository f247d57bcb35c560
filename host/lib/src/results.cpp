#include "plughost/results.h"

namespace plughost {

std::string ResultMessage(int32_t r) {
  switch (r) {
    case 0: return "success";
    case -108: return "out of memory (-108)";
    case -128: return "cancelled by the user (-128)";
    case -30100: return "the plug-in reported bad parameters (-30100)";
    case -30101: return "the plug-in needs a host feature this host lacks (-30101)";
    case -30501: return "the file cannot be read (-30501)";
    case -30900: return "the host is insufficient for this plug-in (-30900)";
    case -30901: return "property undefined (-30901)";
    case -109: return "the plug-in failed with an unexpected error (-109)";
    default: break;
  }
  if (r > 0) return "the plug-in stopped and has already told the user why (" + std::to_string(r) + ")";
  return "the plug-in failed with error " + std::to_string(r);
}

int ExitStatusFor(int32_t r) {
  switch (r) {
    case 0: return 0;
    case -128: return 4;
    case -108: return 5;
    case -30100: return 6;
    case -30900: case -30101: return 7;
    case -30501: return 8;
    default: return r > 0 ? 1 : 9;
  }
}

}  // namespace plughost
