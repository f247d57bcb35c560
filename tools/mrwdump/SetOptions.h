#pragma once
// --set KEY=VALUE for mrwdump convert: the keys of a conversion preset's settings text, applied
// over the built-in defaults, each value checked.
#include <string>
#include <vector>

#include "tessaro/ConversionSettings.h"

namespace mrwdump {

// Applies every KEY=VALUE in order; the white balance is built after the last. False with a
// one-line reason for an unknown key or a value the key cannot take.
bool ApplySettings(const std::vector<std::string>& assignments, tessaro::ConversionSettings& s, std::string* error);

}  // namespace mrwdump
