#include "pssupport/memory.h"

#include <cstring>

#include "platform/memory.h"

namespace qm::ps {
namespace {

PIEmulatedHandle* Emulated(Handle h) {
  auto* e = reinterpret_cast<PIEmulatedHandle*>(h);
  return e && e->tag == kPIEmulatedHandleTag ? e : nullptr;
}

}  // namespace

bool HandleSuiteUsable(const HandleProcs* p, int16_t moreThan) {
  return p && p->handleProcsVersion == kCurrentHandleProcsVersion && p->numHandleProcs > moreThan && p->newProc &&
         p->disposeProc && p->getSizeProc && p->setSizeProc;
}

bool BufferSuiteUsable(const BufferProcs* p) {
  return p && p->bufferProcsVersion == kCurrentBufferProcsVersion && p->numBufferProcs >= 5 && p->allocateProc &&
         p->lockProc && p->unlockProc && p->freeProc && p->spaceProc;
}

PluginMemory::PluginMemory(const HandleProcs* handles, const BufferProcs* buffers, int16_t handleProcsNeeded)
    : handles_(HandleSuiteUsable(handles, handleProcsNeeded) ? handles : nullptr),
      buffers_(BufferSuiteUsable(buffers) ? buffers : nullptr) {}

Handle PluginMemory::NewHandle(int32_t size) {
  if (size < 0) return nullptr;
  if (handles_) {
    Handle h = handles_->newProc(size);
    // Hosts do not promise zeroed handles; the plug-ins rely on it.
    if (h && *h && size > 0) std::memset(*h, 0, static_cast<size_t>(size));
    return h;
  }
  void* self = platform::NewMovable(sizeof(PIEmulatedHandle));
  void* data = self ? platform::NewMovable(static_cast<size_t>(size)) : nullptr;
  if (!data) {
    platform::FreeMovable(self);
    return nullptr;
  }
  // Both blocks stay locked for the handle's life: the host never moves them under us.
  auto* e = static_cast<PIEmulatedHandle*>(platform::LockMovable(self));
  e->data = static_cast<Ptr>(platform::LockMovable(data));
  e->tag = kPIEmulatedHandleTag;
  return reinterpret_cast<Handle>(e);
}

void PluginMemory::DisposeHandle(Handle h) {
  if (!h) return;
  if (handles_) {
    handles_->disposeProc(h);
    return;
  }
  PIEmulatedHandle* e = Emulated(h);
  if (!e) return;
  e->tag = 0;
  void* data = platform::MovableFromPointer(e->data);
  platform::UnlockMovable(data);
  platform::FreeMovable(data);
  void* self = platform::MovableFromPointer(e);
  platform::UnlockMovable(self);
  platform::FreeMovable(self);
}

int32_t PluginMemory::HandleSize(Handle h) const {
  if (!h) return 0;
  if (handles_) return handles_->getSizeProc(h);
  PIEmulatedHandle* e = Emulated(h);
  return e ? static_cast<int32_t>(platform::MovableSize(platform::MovableFromPointer(e->data))) : 0;
}

Ptr PluginMemory::LockHandle(Handle h) {
  if (!h) return nullptr;
  if (handles_ && handles_->numHandleProcs >= 6 && handles_->lockProc) return handles_->lockProc(h, false);
  return *h;
}

void PluginMemory::UnlockHandle(Handle h) {
  if (h && handles_ && handles_->numHandleProcs >= 6 && handles_->unlockProc) handles_->unlockProc(h);
}

bool PluginMemory::AllocateBuffer(size_t size, Buffer& out) {
  out = Buffer{};
  if (buffers_) {
    if (size > INT32_MAX) return false;
    BufferID id = nullptr;
    if (buffers_->allocateProc(static_cast<int32_t>(size), &id) != 0 || !id) return false;
    Ptr p = buffers_->lockProc(id, false);
    if (!p) {
      buffers_->freeProc(id);
      return false;
    }
    out.id = id;
    out.data = p;
    return true;
  }
  void* m = platform::NewMovable(size);
  if (!m) return false;
  out.movable = m;
  out.data = static_cast<Ptr>(platform::LockMovable(m));
  return true;
}

void PluginMemory::FreeBuffer(Buffer& b) {
  if (b.id && buffers_) {
    buffers_->unlockProc(b.id);
    buffers_->freeProc(b.id);
  } else if (b.movable) {
    platform::UnlockMovable(b.movable);
    platform::FreeMovable(b.movable);
  }
  b = Buffer{};
}

}  // namespace qm::ps
