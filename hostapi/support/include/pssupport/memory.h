#pragma once
// Memory for Photoshop plug-ins: the host's handle and buffer suites when they are usable,
// else zero-filled movable system memory. An emulated handle is a PIEmulatedHandle: the data
// pointer (so *h works as with a host handle) and a tag, both in locked system memory.
#include <cstddef>
#include <cstdint>

#include "hostapi/PIGeneral.h"

namespace qm::ps {

// A suite is usable when its version and count are right and the procedures used are there.
bool HandleSuiteUsable(const HandleProcs* procs, int16_t moreThanProcs = 7);
bool BufferSuiteUsable(const BufferProcs* procs);

class PluginMemory {
 public:
  PluginMemory(const HandleProcs* handles, const BufferProcs* buffers, int16_t handleProcsNeeded = 7);

  bool hostHandles() const { return handles_ != nullptr; }
  bool hostBuffers() const { return buffers_ != nullptr; }

  Handle NewHandle(int32_t size);  // zero-filled; nullptr when out of memory
  void DisposeHandle(Handle h);
  int32_t HandleSize(Handle h) const;
  Ptr LockHandle(Handle h);
  void UnlockHandle(Handle h);

  // A locked block of the buffer suite (or of system memory).
  struct Buffer {
    BufferID id = nullptr;   // from the host's suite
    void* movable = nullptr; // from the system
    Ptr data = nullptr;
  };
  bool AllocateBuffer(size_t size, Buffer& out);
  void FreeBuffer(Buffer& b);

 private:
  const HandleProcs* handles_;
  const BufferProcs* buffers_;
};

}  // namespace qm::ps
