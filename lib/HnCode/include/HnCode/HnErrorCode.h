#pragma once
// The library's one exception type: a code from the filter's message table, the operating
// system's error where one caused it, and where it was raised.
#include <cstdint>

enum HnCode : int32_t {
  kHnErrUnknown = 1,
  kHnErrNoMemory = 2,
  kHnErrCancelled = 3,
  kHnErrNoFile = 4,
  kHnErrPermission = 5,
  kHnErrNoVolume = 6,
  kHnErrIO = 7,
  kHnErrBadName = 8,
  kHnErrTooManyFiles = 9,
  kHnErrNotFound = 10,
  kHnErrOpenPermission = 12,
  kHnErrNoAccess = 14,
  kHnErrExternalFS = 17,
  kHnErrEOF = 18,
  kHnErrLocked = 20,
  kHnErrParameter = 21,
  kHnErrDiskFull = 22,
  kHnErrBadListIndex = 26,
  kHnErrInternal = 27,
  kHnErrOverflow = 29,
  kHnErrExists = 31,
  kHnErrBadFormat = 32,
  kHnErrBadImage = 38,
};

class HnErrorCode {
 public:
  static constexpr int kMaxFile = 255;

  explicit HnErrorCode(int32_t code = 0, int32_t systemCode = 0, const char* file = nullptr, int32_t line = 0);

  int32_t code() const { return code_; }
  int32_t systemCode() const { return systemCode_; }
  const char* file() const { return file_ + 1; }  // counted, and NUL-terminated for convenience
  int32_t line() const { return line_; }

 private:
  int32_t code_;
  int32_t systemCode_;
  char file_[kMaxFile + 2];  // length byte, text, terminator
  int32_t line_;
};

// Called with every error made with a non-zero code or system code (nullptr: none).
using HnErrorHook = void (*)(const HnErrorCode&);
void HnSetErrorHook(HnErrorHook hook);

// Violated preconditions are programming errors; they are reported here, then raised as
// code 21 so that a fault in a caller cannot run on into undefined behaviour.
using HnAssertHook = void (*)(const char* file, int32_t line);
void HnSetAssertHook(HnAssertHook hook);
[[noreturn]] void HnPreconditionFailed(const char* file, int32_t line);

// The message the filter shows for a code ("%s #%d"); codes without one share code 1's.
const char* HnErrorMessage(int32_t code);

#define HN_THROW(code) throw HnErrorCode((code), 0, __FILE__, __LINE__)
#define HN_THROW_SYS(code, sys) throw HnErrorCode((code), (sys), __FILE__, __LINE__)
#define HN_REQUIRE(cond)                                          \
  do {                                                            \
    if (!(cond)) HnPreconditionFailed(__FILE__, __LINE__);        \
  } while (0)
