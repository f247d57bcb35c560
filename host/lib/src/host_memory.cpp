#include "plughost/host_memory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace plughost {
namespace {
constexpr int16_t kMemFullErr = -108;
constexpr int16_t kNilHandleErr = -109;
}  // namespace

HostMemory::~HostMemory() {
  for (auto& [h, b] : handles_) {
    std::free(b->data);
    delete b;
  }
  for (auto& [id, b] : buffers_) {
    std::free(b->data);
    delete b;
  }
}

bool HostMemory::InjectedFailure() { return ++allocations_ == failAt_; }

char** HostMemory::NewHandle(int32_t size) {
  if (size < 0 || used_ + size > limit_ || InjectedFailure()) return nullptr;
  char* data = static_cast<char*>(std::calloc(1, size ? static_cast<size_t>(size) : 1));
  if (!data) return nullptr;
  auto* b = new Block{data, static_cast<size_t>(size), 0, ++nextSerial_};
  used_ += size;
  char** h = &b->data;
  handles_[h] = b;
  return h;
}

void HostMemory::DisposeHandle(char** h) {
  auto it = handles_.find(h);
  if (it == handles_.end()) return;
  used_ -= static_cast<int64_t>(it->second->size);
  std::free(it->second->data);
  delete it->second;
  handles_.erase(it);
}

uint64_t HostMemory::HandleSerial(char** h) const {
  auto it = handles_.find(h);
  return it == handles_.end() ? 0 : it->second->serial;
}

int32_t HostMemory::HandleSize(char** h) const {
  auto it = handles_.find(h);
  return it == handles_.end() ? 0 : static_cast<int32_t>(it->second->size);
}

int16_t HostMemory::SetHandleSize(char** h, int32_t size) {
  auto it = handles_.find(h);
  if (it == handles_.end()) return kNilHandleErr;
  Block* b = it->second;
  if (size < 0 || used_ - static_cast<int64_t>(b->size) + size > limit_) return kMemFullErr;
  char* data = static_cast<char*>(std::realloc(b->data, size ? static_cast<size_t>(size) : 1));
  if (!data) return kMemFullErr;
  if (static_cast<size_t>(size) > b->size) std::memset(data + b->size, 0, static_cast<size_t>(size) - b->size);
  used_ += size - static_cast<int64_t>(b->size);
  b->data = data;
  b->size = static_cast<size_t>(size);
  return 0;
}

char* HostMemory::LockHandle(char** h) {
  auto it = handles_.find(h);
  if (it == handles_.end()) return nullptr;
  ++it->second->locks;
  return it->second->data;
}

void HostMemory::UnlockHandle(char** h) {
  auto it = handles_.find(h);
  if (it != handles_.end() && it->second->locks > 0) --it->second->locks;
}

int16_t HostMemory::AllocateBuffer(int64_t size, void** id) {
  if (!id) return kNilHandleErr;
  *id = nullptr;
  if (size < 0 || used_ + size > limit_ || InjectedFailure()) return kMemFullErr;
  char* data = static_cast<char*>(std::calloc(1, size ? static_cast<size_t>(size) : 1));
  if (!data) return kMemFullErr;
  auto* b = new Block{data, static_cast<size_t>(size), 0, ++nextSerial_};
  used_ += size;
  buffers_[b] = b;
  *id = b;
  return 0;
}

char* HostMemory::LockBuffer(void* id) {
  auto it = buffers_.find(id);
  if (it == buffers_.end()) return nullptr;
  ++it->second->locks;
  return it->second->data;
}

void HostMemory::UnlockBuffer(void* id) {
  auto it = buffers_.find(id);
  if (it != buffers_.end() && it->second->locks > 0) --it->second->locks;
}

void HostMemory::FreeBuffer(void* id) {
  auto it = buffers_.find(id);
  if (it == buffers_.end()) return;
  used_ -= static_cast<int64_t>(it->second->size);
  std::free(it->second->data);
  delete it->second;
  buffers_.erase(it);
}

namespace {
HostMemory* g_suiteMemory = nullptr;
bool (*g_suiteRefuse)() = nullptr;
bool SuiteRefuses() { return g_suiteRefuse && g_suiteRefuse(); }
}  // namespace

void BindMemorySuites(HostMemory* memory, bool (*refuse)()) {
  g_suiteMemory = memory;
  g_suiteRefuse = memory ? refuse : nullptr;
}

void FillBufferProcs(BufferProcs& b) {
  b.bufferProcsVersion = kCurrentBufferProcsVersion;
  b.numBufferProcs = kCurrentBufferProcsCount;
  b.allocateProc = [](int32_t size, BufferID* id) -> OSErr {
    if (SuiteRefuses()) {
      *id = nullptr;
      return memFullErr;
    }
    return g_suiteMemory->AllocateBuffer(size, reinterpret_cast<void**>(id));
  };
  b.lockProc = [](BufferID id, Boolean) -> Ptr { return g_suiteMemory->LockBuffer(id); };
  b.unlockProc = [](BufferID id) { g_suiteMemory->UnlockBuffer(id); };
  b.freeProc = [](BufferID id) { g_suiteMemory->FreeBuffer(id); };
  b.spaceProc = []() -> int32_t {
    return static_cast<int32_t>(std::min<int64_t>(g_suiteMemory->BufferSpace(), INT32_MAX));
  };
  b.reserveProc = [](int32_t) -> OSErr { return 0; };
  b.allocateProc64 = [](int64_t size, BufferID* id) -> OSErr {
    if (SuiteRefuses()) {
      *id = nullptr;
      return memFullErr;
    }
    return g_suiteMemory->AllocateBuffer(size, reinterpret_cast<void**>(id));
  };
  b.spaceProc64 = []() -> int64_t { return g_suiteMemory->BufferSpace(); };
}

NewPIHandleProc MemorySuitesNewHandle() {
  return [](int32_t size) -> Handle { return SuiteRefuses() ? nullptr : g_suiteMemory->NewHandle(size); };
}

DisposePIHandleProc MemorySuitesDisposeHandle() {
  return [](Handle h) { g_suiteMemory->DisposeHandle(h); };
}

void FillHandleProcs(HandleProcs& p) {
  p.handleProcsVersion = kCurrentHandleProcsVersion;
  p.numHandleProcs = kCurrentHandleProcsCount;
  p.newProc = MemorySuitesNewHandle();
  p.disposeProc = MemorySuitesDisposeHandle();
  p.getSizeProc = [](Handle h) -> int32_t { return g_suiteMemory->HandleSize(h); };
  p.setSizeProc = [](Handle h, int32_t size) -> OSErr { return g_suiteMemory->SetHandleSize(h, size); };
  p.lockProc = [](Handle h, Boolean) -> Ptr { return g_suiteMemory->LockHandle(h); };
  p.unlockProc = [](Handle h) { g_suiteMemory->UnlockHandle(h); };
  p.recoverSpaceProc = [](int32_t) {};
  p.disposeRegularHandleProc = MemorySuitesDisposeHandle();
}

}  // namespace plughost
