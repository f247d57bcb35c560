#include "plughost/host_memory.h"

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

}  // namespace plughost
