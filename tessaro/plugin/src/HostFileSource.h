#pragma once
// The host's open file (the format record's data fork: a file handle on Windows, a file
// descriptor natively) as a ByteSource, so the RawFile reads what the host opened.
#include <cstdint>

#include "tessaro/ByteSource.h"

namespace tessaro::plugin {

class HostFileSource final : public ByteSource {
public:
  explicit HostFileSource(intptr_t fork);
  std::uint64_t Size() const override { return size_; }
  bool Seek(std::uint64_t pos) override;
  bool Read(void* dst, std::size_t n) override;

private:
  intptr_t fork_;
  std::uint64_t size_ = 0;
};

}  // namespace tessaro::plugin
