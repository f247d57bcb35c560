#include "Trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "platform/ui.h"

namespace tessaro::plugin {

void Trace(const char* format, ...) {
#ifndef _WIN32
  static const bool enabled = std::getenv("TESSARO_TRACE") != nullptr;
  if (!enabled) return;
#endif
  char line[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  qm::platform::DebugOutput(line);
}

void LogFile::Append(const std::string& text) const {
  if (!on_) return;
  std::FILE* f = std::fopen(path_.c_str(), "a");
  if (!f) return;
  std::fputs(text.c_str(), f);
  std::fclose(f);
}

void LogFile::Printf(const char* format, ...) const {
  if (!on_) return;
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  Append(line);
}

}  // namespace tessaro::plugin
