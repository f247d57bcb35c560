#include <windows.h>

#include "platform/memory.h"

namespace qm::platform {

void* NewMovable(size_t size) { return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size); }
void* LockMovable(void* block) { return block ? GlobalLock(static_cast<HGLOBAL>(block)) : nullptr; }
void UnlockMovable(void* block) {
  if (block) GlobalUnlock(static_cast<HGLOBAL>(block));
}
void FreeMovable(void* block) {
  if (block) GlobalFree(static_cast<HGLOBAL>(block));
}
size_t MovableSize(void* block) { return block ? GlobalSize(static_cast<HGLOBAL>(block)) : 0; }
void* MovableFromPointer(void* locked) { return locked ? GlobalHandle(locked) : nullptr; }

}  // namespace qm::platform
