#include <cstdlib>
#include <new>

#include "platform/memory.h"

namespace qm::platform {
namespace {
// The size sits in front of the data, where GlobalSize would find it on Windows.
struct alignas(16) Header {
  size_t size;
};
}  // namespace

void* NewMovable(size_t size) {
  if (size > static_cast<size_t>(-1) - sizeof(Header)) return nullptr;
  auto* h = static_cast<Header*>(std::calloc(1, sizeof(Header) + size));
  if (!h) return nullptr;
  h->size = size;
  return h;
}
void* LockMovable(void* block) { return block ? static_cast<Header*>(block) + 1 : nullptr; }
void UnlockMovable(void*) {}
void FreeMovable(void* block) { std::free(block); }
size_t MovableSize(void* block) { return block ? static_cast<Header*>(block)->size : 0; }
void* MovableFromPointer(void* locked) { return locked ? static_cast<Header*>(locked) - 1 : nullptr; }

}  // namespace qm::platform
