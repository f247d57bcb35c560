#include "HnCode/HnFile.h"

#include <cerrno>

#include "HnCode/HnErrorCode.h"

HnFile::~HnFile() {
  if (f_) std::fclose(f_);
}

int32_t HnFile::OpenErrorCode(int err) {
  switch (err) {
    case ENOENT: return kHnErrNotFound;
    case EACCES: return kHnErrNoAccess;
    case EEXIST:
    case EINVAL: return kHnErrOpenPermission;
    case EMFILE: return kHnErrTooManyFiles;
    default: return kHnErrUnknown;
  }
}

int32_t HnFile::IOErrorCode(int err) {
  switch (err) {
    case ENOENT: return kHnErrBadName;
    case E2BIG: return kHnErrParameter;
    case EBADF: return kHnErrLocked;
    case EAGAIN: return kHnErrTooManyFiles;
    case ENOMEM: return kHnErrNoMemory;
    case EACCES: return kHnErrPermission;
    case EEXIST: return kHnErrExists;
    case EXDEV: return kHnErrExternalFS;
    case EINVAL: return kHnErrParameter;
    case EMFILE: return kHnErrTooManyFiles;
    case ENOSPC: return kHnErrDiskFull;
    case ERANGE: return kHnErrOverflow;
    default: return kHnErrUnknown;
  }
}

void HnFile::Open(const char* path, Mode mode) {
  Close();
  static const char* const kModes[] = {"rb", "wb", "r+b"};
  errno = 0;
  f_ = std::fopen(path ? path : "", kModes[mode]);
  if (!f_) HN_THROW_SYS(OpenErrorCode(errno), errno);
  path_ = HnString(path);
}

void HnFile::Read(void* data, size_t n) {
  if (!f_) HN_THROW(kHnErrLocked);
  errno = 0;
  if (std::fread(data, 1, n, f_) == n) return;
  if (std::ferror(f_)) HN_THROW_SYS(IOErrorCode(errno), errno);
  HN_THROW(kHnErrEOF);
}

void HnFile::Write(const void* data, size_t n) {
  if (!f_) HN_THROW(kHnErrLocked);
  errno = 0;
  if (std::fwrite(data, 1, n, f_) != n) HN_THROW_SYS(errno ? IOErrorCode(errno) : kHnErrIO, errno);
}

uint16_t HnFile::Read16() {
  uint16_t v = 0;
  Read(&v, sizeof v);
  return v;
}

void HnFile::Write16(uint16_t v) { Write(&v, sizeof v); }

void HnFile::Close() {
  if (!f_) return;
  std::FILE* f = f_;
  f_ = nullptr;
  errno = 0;
  // Buffered bytes reach the disk here, so a full disk shows up on closing.
  if (std::fclose(f) != 0) HN_THROW_SYS(errno ? IOErrorCode(errno) : kHnErrIO, errno);
}
