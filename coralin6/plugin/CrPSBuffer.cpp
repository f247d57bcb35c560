#include "CrPSBuffer.h"

#include <cstdint>
#include <new>

#include "HnCode/HnErrorCode.h"

namespace coralin {

void CrPSBuffer::Allocate(size_t bytes) {
  Free();
  if (bytes > static_cast<size_t>(INT32_MAX)) throw HnErrorCode(kHnErrNoMemory, 0, __FILE__, __LINE__);
  BufferID id = nullptr;
  const OSErr e = procs_->allocateProc(static_cast<int32_t>(bytes), &id);
  if (e != noErr || !id) throw HnErrorCode(kHnErrNoMemory, e, __FILE__, __LINE__);
  id_ = id;
  size_ = bytes;
}

void CrPSBuffer::Free() {
  if (!id_) return;
  while (locks_ > 0) Unlock();
  procs_->freeProc(id_);
  id_ = nullptr;
  size_ = 0;
}

uint8_t* CrPSBuffer::Lock() {
  if (!id_) return nullptr;
  // The host may move the block high while it is locked; nested locks keep it in place.
  if (locks_ == 0) data_ = reinterpret_cast<uint8_t*>(procs_->lockProc(id_, true));
  if (!data_) return nullptr;
  ++locks_;
  return data_;
}

void CrPSBuffer::Unlock() {
  if (locks_ <= 0) return;
  if (--locks_ == 0) {
    procs_->unlockProc(id_);
    data_ = nullptr;
  }
}

HnBaseBuffer* CrPSBuffer::NewOfSameKind() const {
  auto* b = new (std::nothrow) CrPSBuffer(procs_);
  if (!b) throw HnErrorCode(kHnErrNoMemory, 0, __FILE__, __LINE__);
  return b;
}

}  // namespace coralin
