#pragma once
// Zero-filled movable system memory: the fallback when a host offers no usable buffer or
// handle suite (GlobalAlloc on Windows).
#include <cstddef>

namespace qm::platform {

void* NewMovable(size_t size);  // nullptr when the system has no memory
void* LockMovable(void* block);
void UnlockMovable(void* block);
void FreeMovable(void* block);
size_t MovableSize(void* block);
// The block a locked pointer came from (GlobalHandle on Windows).
void* MovableFromPointer(void* locked);

}  // namespace qm::platform
