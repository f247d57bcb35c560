#pragma once
// Number formats shared by the settings texts and the log.

#include <cmath>
#include <cstdio>
#include <string>

namespace tessaro {

// Up to six significant digits without trailing zeros ("%g").
inline std::string FormatReal(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

// floor(v * 10000) / 10000: the four decimals a coefficient keeps. A number typed or stored
// with four decimals, such as 1.0029, is a hair below that decimal in binary; its product lands
// within rounding of a whole number, which it keeps, instead of losing one in the last place
// every time the settings file is read again.
inline double TruncateTo4Decimals(double v) {
  const double scaled = v * 10000;
  const double nearest = std::round(scaled);
  const bool whole = std::fabs(scaled - nearest) <= 1e-9 * std::fmax(1.0, std::fabs(scaled));
  return (whole ? nearest : std::floor(scaled)) / 10000;
}

}  // namespace tessaro
