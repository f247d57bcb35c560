#include "tessaro/ByteSource.h"

#include <cstring>
#include <limits>

namespace tessaro {

MemorySource::MemorySource(const void* data, std::size_t size)
    : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}

std::uint64_t MemorySource::Size() const { return size_; }

bool MemorySource::Seek(std::uint64_t pos) {
  if (pos > size_) return false;
  pos_ = static_cast<std::size_t>(pos);
  return true;
}

bool MemorySource::Read(void* dst, std::size_t n) {
  if (n > size_ - pos_) return false;
  if (n != 0) std::memcpy(dst, data_ + pos_, n);
  pos_ += n;
  return true;
}

FileSource::FileSource(const std::string& path) : in_(path, std::ios::binary) {
  if (!in_) return;
  in_.seekg(0, std::ios::end);
  const std::streamoff end = in_.tellg();
  if (!in_ || end < 0) return;
  size_ = static_cast<std::uint64_t>(end);
  in_.seekg(0, std::ios::beg);
  open_ = static_cast<bool>(in_);
}

std::uint64_t FileSource::Size() const { return size_; }

bool FileSource::Seek(std::uint64_t pos) {
  if (!open_ || pos > size_) return false;
  in_.clear();
  in_.seekg(static_cast<std::streamoff>(pos), std::ios::beg);
  return static_cast<bool>(in_);
}

bool FileSource::Read(void* dst, std::size_t n) {
  if (!open_) return false;
  if (n == 0) return true;
  if (n > static_cast<std::size_t>(std::numeric_limits<std::streamsize>::max())) return false;
  in_.read(static_cast<char*>(dst), static_cast<std::streamsize>(n));
  return in_.gcount() == static_cast<std::streamsize>(n);
}

}  // namespace tessaro
