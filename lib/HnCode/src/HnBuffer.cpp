#include "HnCode/HnBuffer.h"

#include <cstdlib>
#include <new>

#include "HnCode/HnErrorCode.h"

HnBuffer::~HnBuffer() { Free(); }

void HnBuffer::Allocate(size_t bytes) {
  Free();
  data_ = static_cast<uint8_t*>(std::calloc(bytes ? bytes : 1, 1));
  if (!data_) HN_THROW(kHnErrNoMemory);
  size_ = bytes;
}

void HnBuffer::Free() {
  std::free(data_);
  data_ = nullptr;
  size_ = 0;
}

HnBaseBuffer* HnBuffer::NewOfSameKind() const {
  auto* b = new (std::nothrow) HnBuffer;
  if (!b) HN_THROW(kHnErrNoMemory);
  return b;
}
