#include "plughost/properties.h"

#include <cstdio>
#include <cstring>

namespace plughost {

OSErr HostProperties::Get(PIType signature, PIType key, int32_t, intptr_t* simple, Handle* complex) const {
  if (signature != kPhotoshopSignature) return errPlugInPropertyUndefined;
  auto give = [&](intptr_t v) -> OSErr {
    if (!simple) return errPlugInPropertyUndefined;
    *simple = v;
    return noErr;
  };
  switch (key) {
    case propVersion: return give(static_cast<intptr_t>(version_));
    case propNumberOfChannels: return give(doc_.channels);
    case propImageMode: return give(doc_.imageMode);
    case propDocumentWidth: return give(doc_.width);
    case propDocumentHeight: return give(doc_.height);
    case propTitle: {
      // Text properties come as the bare characters: no length byte, no terminator.
      if (!complex) return errPlugInPropertyUndefined;
      Handle h = memory_.NewHandle(static_cast<int32_t>(doc_.title.size()));
      if (!h) return memFullErr;
      if (!doc_.title.empty()) std::memcpy(*h, doc_.title.data(), doc_.title.size());
      *complex = h;
      return noErr;
    }
    default: return errPlugInPropertyUndefined;
  }
}

OSErr HostProperties::Set(PIType, PIType, int32_t, intptr_t, Handle) const { return errPlugInPropertyUndefined; }

bool HostProperties::ParseVersion(const std::string& text, uint32_t& packed) {
  unsigned major = 0, minor = 0, fix = 0;
  char extra = 0;
  const int n = std::sscanf(text.c_str(), "%u.%u.%u%c", &major, &minor, &fix, &extra);
  if (n < 1 || n > 3 || major > 0xFFFF || minor > 0xFF || fix > 0xFF) return false;
  // sscanf stops at the first unexpected character: make sure all of the text was a version.
  char check[64];
  if (n == 1) std::snprintf(check, sizeof check, "%u", major);
  else if (n == 2) std::snprintf(check, sizeof check, "%u.%u", major, minor);
  else std::snprintf(check, sizeof check, "%u.%u.%u", major, minor, fix);
  if (text != check) return false;
  packed = (major << 16) | (minor << 8) | fix;
  return true;
}

}  // namespace plughost
