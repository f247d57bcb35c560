#pragma once
// The host's handle and buffer suites. Handles are real master pointers, as plug-ins
// dereference them directly; every block is tracked so a run can tell what was left behind.
#include <cstddef>
#include <cstdint>
#include <map>

#include "hostapi/PIGeneral.h"

namespace plughost {

class HostMemory;

// The buffer and handle suites over one HostMemory. Their procedures are C callbacks without
// a context, so they reach the memory of the session in progress through the one binding a
// session sets while it lives (nullptr unbinds). `refuse`, when given, is asked before every
// buffer or handle the plug-in asks for, and refuses it when it answers true.
void BindMemorySuites(HostMemory* memory, bool (*refuse)() = nullptr);
void FillBufferProcs(BufferProcs& procs);
void FillHandleProcs(HandleProcs& procs);
// The handle suite's new and dispose procedures, for records that carry them on their own.
NewPIHandleProc MemorySuitesNewHandle();
DisposePIHandleProc MemorySuitesDisposeHandle();

class HostMemory {
 public:
  ~HostMemory();

  char** NewHandle(int32_t size);
  void DisposeHandle(char** h);
  int32_t HandleSize(char** h) const;
  int16_t SetHandleSize(char** h, int32_t size);
  char* LockHandle(char** h);
  void UnlockHandle(char** h);
  bool IsHandle(char** h) const { return handles_.count(h) != 0; }
  // Tells one allocation from a later one at the same address; 0 for no live handle.
  uint64_t HandleSerial(char** h) const;

  int16_t AllocateBuffer(int64_t size, void** id);
  char* LockBuffer(void* id);
  void UnlockBuffer(void* id);
  void FreeBuffer(void* id);
  int64_t BufferSpace() const { return limit_ - used_; }

  size_t LiveHandles() const { return handles_.size(); }
  size_t LiveBuffers() const { return buffers_.size(); }
  void SetLimit(int64_t bytes) { limit_ = bytes; }
  // The nth handle or buffer asked for (counting from 1) is refused, as if memory ran out.
  void FailAllocation(int32_t n) { failAt_ = n; }
  int32_t Allocations() const { return allocations_; }

 private:
  struct Block {
    char* data;  // first, so that a handle can point at it
    size_t size;
    int locks;
    uint64_t serial = 0;
  };
  std::map<char**, Block*> handles_;
  std::map<void*, Block*> buffers_;
  int64_t limit_ = int64_t{1} << 30;
  int64_t used_ = 0;
  uint64_t nextSerial_ = 0;
  int32_t allocations_ = 0, failAt_ = -1;
  bool InjectedFailure();
};

}  // namespace plughost
