#pragma once
// The JPEG file: opened for reading and writing, unshared, created when missing and cut to
// nothing, so a shorter JPEG never leaves the tail of a longer one behind.
#include <cstddef>
#include <cstdint>
#include <string>

#include "coralin/Cr4Engine.h"

namespace coralin {

class CrOutputFile final : public Cr4Output {
 public:
  CrOutputFile() = default;
  ~CrOutputFile();
  CrOutputFile(const CrOutputFile&) = delete;
  CrOutputFile& operator=(const CrOutputFile&) = delete;

  // Raises HnErrorCode: not found 10, no such drive 6, write-protected 14, anything else 1.
  void Open(const std::string& path);
  size_t Write(const uint8_t* data, size_t n) override;
  bool Flush() override;
  void Close();
  // Closes and deletes what was written: a run that failed leaves no broken JPEG.
  void Discard();
  bool IsOpen() const;

  // The code for a system error number of the open.
  static int32_t OpenErrorCode(int32_t systemError);

 private:
  std::string path_;
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

}  // namespace coralin
