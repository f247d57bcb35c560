#pragma once
// Random access to the bytes of an MRW file. The plug-in reads through the host's open file,
// the tools and tests through a plain file or a buffer in memory.

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace tessaro {

class ByteSource {
public:
  virtual ~ByteSource() = default;
  // Total length of the file; the parser measures every length and offset against it.
  virtual std::uint64_t Size() const = 0;
  // Moves the read position; false when pos lies beyond the end.
  virtual bool Seek(std::uint64_t pos) = 0;
  // Reads exactly n bytes at the read position and advances it; false on a short read.
  virtual bool Read(void* dst, std::size_t n) = 0;
};

// Reads from bytes the caller keeps alive.
class MemorySource final : public ByteSource {
public:
  MemorySource(const void* data, std::size_t size);
  std::uint64_t Size() const override;
  bool Seek(std::uint64_t pos) override;
  bool Read(void* dst, std::size_t n) override;

private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// Reads a file by path (binary, 64-bit positions on every platform).
class FileSource final : public ByteSource {
public:
  explicit FileSource(const std::string& path);
  bool IsOpen() const { return open_; }
  std::uint64_t Size() const override;
  bool Seek(std::uint64_t pos) override;
  bool Read(void* dst, std::size_t n) override;

private:
  std::ifstream in_;
  std::uint64_t size_ = 0;
  bool open_ = false;
};

}  // namespace tessaro
