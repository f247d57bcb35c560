#pragma once
// Image storage in the host's buffer suite, so large images count against the host's memory
// rather than the plug-in's.
#include "HnCode/HnBuffer.h"
#include "hostapi/PIGeneral.h"

namespace coralin {

class CrPSBuffer final : public HnBaseBuffer {
 public:
  // The suite must be usable (qm::ps::BufferSuiteUsable).
  explicit CrPSBuffer(const BufferProcs* procs) : procs_(procs) {}
  ~CrPSBuffer() override { Free(); }
  void Allocate(size_t bytes) override;  // raises code 2
  void Free() override;
  uint8_t* Lock() override;
  void Unlock() override;
  size_t Size() const override { return size_; }
  HnBaseBuffer* NewOfSameKind() const override;

 private:
  const BufferProcs* procs_;
  BufferID id_ = nullptr;
  size_t size_ = 0;
  int32_t locks_ = 0;
  uint8_t* data_ = nullptr;
};

}  // namespace coralin
