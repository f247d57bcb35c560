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

// floor(v * 10000) / 10000: the four decimals a coefficient keeps.
inline double TruncateTo4Decimals(double v) { return std::floor(v * 10000) / 10000; }

}  // namespace tessaro
