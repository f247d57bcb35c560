#pragma once
// Opens writer-made files from memory for the tests.

#include <cstdint>
#include <memory>
#include <vector>

#include "MrwWriter.h"
#include "tessaro/RawFile.h"

namespace tessaro::testing {

// A memory source that keeps its own copy of the bytes.
class OwnedBytesSource final : public ByteSource {
public:
  explicit OwnedBytesSource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)), src_(bytes_.data(), bytes_.size()) {}
  std::uint64_t Size() const override { return src_.Size(); }
  bool Seek(std::uint64_t pos) override { return src_.Seek(pos); }
  bool Read(void* dst, std::size_t n) override { return src_.Read(dst, n); }

private:
  std::vector<std::uint8_t> bytes_;
  MemorySource src_;
};

inline std::unique_ptr<RawFile> FromBytes(std::vector<std::uint8_t> bytes) {
  return std::make_unique<RawFile>(std::make_unique<OwnedBytesSource>(std::move(bytes)));
}

inline std::unique_ptr<RawFile> FromLayout(const MrwLayout& layout) { return FromBytes(WriteMrw(layout).bytes); }

}  // namespace tessaro::testing
