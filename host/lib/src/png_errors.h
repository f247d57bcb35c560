#pragma once
// libpng's error and warning hooks for our readers and writers: an error stores libpng's
// message in the std::string given as the error pointer and leaves through png_longjmp to the
// setjmp of the call; warnings are dropped.
#include <png.h>

#include <string>

namespace plughost {

inline void PngError(png_structp png, png_const_charp msg) {
  auto* why = static_cast<std::string*>(png_get_error_ptr(png));
  if (why) *why = msg;
  png_longjmp(png, 1);
}
inline void PngWarning(png_structp, png_const_charp) {}

}  // namespace plughost
