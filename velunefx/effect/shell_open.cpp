#include "effect/shell_open.h"

#if defined(_WIN32)
#include <windows.h>
#include <shellapi.h>
#else
#include <cstdio>
#endif

namespace velune {

void open_document(const std::string& path) {
#if defined(_WIN32)
  ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
#else
  std::fprintf(stderr, "[Velune5.6] open %s\n", path.c_str());
#endif
}

}  // namespace velune
