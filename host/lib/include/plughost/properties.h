#pragma once
// The host properties plug-ins ask for through the property suite (getPropertyProc).
#include <cstdint>
#include <string>

#include "hostapi/PIGeneral.h"
#include "plughost/host_memory.h"

namespace plughost {

struct DocumentFacts {
  int32_t width = 0, height = 0;
  int16_t channels = 0;
  int16_t imageMode = plugInModeRGBColor;
  std::string title;
};

class HostProperties {
 public:
  // version: (major << 16) | (minor << 8) | fix, as hosts report 'vers'.
  HostProperties(uint32_t version, DocumentFacts document, HostMemory& memory)
      : version_(version), doc_(std::move(document)), memory_(memory) {}

  // Simple values land in *simple; complex ones in a new handle the plug-in disposes of.
  OSErr Get(PIType signature, PIType key, int32_t index, intptr_t* simple, Handle* complex) const;
  // Nothing here can be changed by a plug-in yet.
  OSErr Set(PIType signature, PIType key, int32_t index, intptr_t simple, Handle complex) const;

  // "13.0.1" -> (13 << 16) | (0 << 8) | 1; false when the text is not a version.
  static bool ParseVersion(const std::string& text, uint32_t& packed);

 private:
  uint32_t version_;
  DocumentFacts doc_;
  HostMemory& memory_;
};

}  // namespace plughost
