#include "CrOutputFile.h"

#include "HnCode/HnErrorCode.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace coralin {

#ifdef _WIN32

int32_t CrOutputFile::OpenErrorCode(int32_t e) {
  switch (static_cast<DWORD>(e)) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return kHnErrNotFound;
    case ERROR_INVALID_DRIVE: return kHnErrNoVolume;
    case ERROR_WRITE_PROTECT: return kHnErrNoAccess;
    default: return kHnErrUnknown;
  }
}

void CrOutputFile::Open(const std::string& path) {
  Close();
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD e = GetLastError();
    throw HnErrorCode(OpenErrorCode(static_cast<int32_t>(e)), static_cast<int32_t>(e), __FILE__, __LINE__);
  }
  if (SetFilePointer(h, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER || !SetEndOfFile(h)) {
    const DWORD e = GetLastError();
    CloseHandle(h);
    throw HnErrorCode(kHnErrUnknown, static_cast<int32_t>(e), __FILE__, __LINE__);
  }
  handle_ = h;
  path_ = path;
}

size_t CrOutputFile::Write(const uint8_t* data, size_t n) {
  DWORD done = 0;
  if (!handle_ || !WriteFile(static_cast<HANDLE>(handle_), data, static_cast<DWORD>(n), &done, nullptr)) return 0;
  return done;
}

bool CrOutputFile::Flush() { return handle_ && FlushFileBuffers(static_cast<HANDLE>(handle_)); }

void CrOutputFile::Close() {
  if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

bool CrOutputFile::IsOpen() const { return handle_ != nullptr; }

void CrOutputFile::Discard() {
  if (!IsOpen()) return;
  Close();
  DeleteFileA(path_.c_str());
}

#else

int32_t CrOutputFile::OpenErrorCode(int32_t e) {
  switch (e) {
    case ENOENT:
    case ENOTDIR: return kHnErrNotFound;
    case ENXIO:
    case ENODEV: return kHnErrNoVolume;
    case EROFS: return kHnErrNoAccess;
    default: return kHnErrUnknown;
  }
}

void CrOutputFile::Open(const std::string& path) {
  Close();
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int e = errno;
    throw HnErrorCode(OpenErrorCode(e), e, __FILE__, __LINE__);
  }
  if (::ftruncate(fd, 0) != 0) {
    const int e = errno;
    ::close(fd);
    throw HnErrorCode(kHnErrUnknown, e, __FILE__, __LINE__);
  }
  fd_ = fd;
  path_ = path;
}

size_t CrOutputFile::Write(const uint8_t* data, size_t n) {
  size_t done = 0;
  while (fd_ >= 0 && done < n) {
    const ssize_t w = ::write(fd_, data + done, n - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) break;
    done += static_cast<size_t>(w);
  }
  return done;
}

bool CrOutputFile::Flush() { return fd_ >= 0; }

void CrOutputFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool CrOutputFile::IsOpen() const { return fd_ >= 0; }

void CrOutputFile::Discard() {
  if (!IsOpen()) return;
  Close();
  ::unlink(path_.c_str());
}

#endif

CrOutputFile::~CrOutputFile() { Close(); }

}  // namespace coralin
