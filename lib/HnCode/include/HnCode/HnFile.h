#pragma once
// A file opened in byte mode. Every failure raises HnErrorCode with the run-time library's
// error kept as the system code.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "HnCode/HnString.h"

class HnFile {
 public:
  enum Mode { kRead, kWrite /* create and truncate */, kReadWrite };

  HnFile() = default;
  ~HnFile();
  HnFile(const HnFile&) = delete;
  HnFile& operator=(const HnFile&) = delete;

  void Open(const char* path, Mode mode);
  bool IsOpen() const { return f_ != nullptr; }
  // Exactly n bytes; a short read raises code 18.
  void Read(void* data, size_t n);
  void Write(const void* data, size_t n);
  // A 16-bit count in the machine's byte order.
  uint16_t Read16();
  void Write16(uint16_t v);
  void Close();
  const char* Path() const { return path_.c_str(); }

  // The codes for an opening failure and for any later one, from an errno value.
  static int32_t OpenErrorCode(int err);
  static int32_t IOErrorCode(int err);

 private:
  HnString path_;
  std::FILE* f_ = nullptr;
};
