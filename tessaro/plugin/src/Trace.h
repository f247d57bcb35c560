#pragma once
// The plug-in's trace lines (the debugger's output on Windows; natively the error stream when
// TESSARO_TRACE is set) and its log file, written only when Logging is on.
#include <string>

namespace tessaro::plugin {

// Formats at most 255 characters.
void Trace(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

class LogFile {
public:
  // An empty path or `on` false writes nothing.
  void Open(std::string path, bool on) {
    path_ = std::move(path);
    on_ = on && !path_.empty();
  }
  bool On() const { return on_; }
  // Appends the text as it is.
  void Append(const std::string& text) const;
  void Printf(const char* format, ...) const
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;

private:
  std::string path_;
  bool on_ = false;
};

}  // namespace tessaro::plugin
