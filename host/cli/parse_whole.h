#pragma once
// Whole-number option values, read alike by every plughost command.
#include <cerrno>
#include <cstdlib>
#include <string>

namespace plughost {

// A whole number in [lo, hi], all of the text; anything else is a usage error.
template <class T>
bool ParseWhole(const std::string& s, long lo, long hi, T& out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (s.empty() || errno || *end || v < lo || v > hi) return false;
  out = static_cast<T>(v);
  return true;
}

}  // namespace plughost
