#include "platform/pixel_memory.h"

#include <sys/mman.h>

#include <cstdlib>

namespace platform {

namespace {

constexpr size_t kHugePageSize = size_t{2} << 20;
constexpr size_t kPageSize = 4096;

}  // namespace

void FreeDeleter::operator()(void* memory) const {
  std::free(memory);
}

std::unique_ptr<uint8_t, FreeDeleter> AllocateZeroedPixels(size_t size) {
  std::unique_ptr<uint8_t, FreeDeleter> memory(
      static_cast<uint8_t*>(std::calloc(size == 0 ? 1 : size, 1)));
  if (memory && size >= 2 * kHugePageSize) {
    // Only whole pages inside the block; an advice the kernel refuses changes nothing.
    const uintptr_t start =
        (reinterpret_cast<uintptr_t>(memory.get()) + kPageSize - 1) & ~uintptr_t{kPageSize - 1};
    const uintptr_t end =
        (reinterpret_cast<uintptr_t>(memory.get()) + size) & ~uintptr_t{kPageSize - 1};
    if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
  }
  return memory;
}

}  // namespace platform
