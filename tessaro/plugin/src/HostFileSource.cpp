#include "HostFileSource.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tessaro::plugin {

#ifdef _WIN32
HostFileSource::HostFileSource(intptr_t fork) : fork_(fork) {
  LARGE_INTEGER size{};
  if (GetFileSizeEx(reinterpret_cast<HANDLE>(fork_), &size) && size.QuadPart > 0)
    size_ = static_cast<std::uint64_t>(size.QuadPart);
}

bool HostFileSource::Seek(std::uint64_t pos) {
  if (pos > size_) return false;
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(pos);
  return SetFilePointerEx(reinterpret_cast<HANDLE>(fork_), to, nullptr, FILE_BEGIN) != 0;
}

bool HostFileSource::Read(void* dst, std::size_t n) {
  auto* p = static_cast<char*>(dst);
  while (n > 0) {
    const DWORD want = n > (1u << 30) ? (1u << 30) : static_cast<DWORD>(n);
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(fork_), p, want, &got, nullptr) || got == 0) return false;
    p += got;
    n -= got;
  }
  return true;
}
#else
HostFileSource::HostFileSource(intptr_t fork) : fork_(fork) {
  struct stat st {};
  if (fstat(static_cast<int>(fork_), &st) == 0 && st.st_size > 0) size_ = static_cast<std::uint64_t>(st.st_size);
}

bool HostFileSource::Seek(std::uint64_t pos) {
  if (pos > size_) return false;
  return lseek(static_cast<int>(fork_), static_cast<off_t>(pos), SEEK_SET) >= 0;
}

bool HostFileSource::Read(void* dst, std::size_t n) {
  auto* p = static_cast<char*>(dst);
  while (n > 0) {
    const ssize_t got = read(static_cast<int>(fork_), p, n);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    n -= static_cast<std::size_t>(got);
  }
  return true;
}
#endif

}  // namespace tessaro::plugin
