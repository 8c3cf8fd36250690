// Zeroed memory for pixel planes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

struct FreeDeleter {
  void operator()(void* memory) const;
};

// size zeroed bytes (at least one), or null when the system has no room. Large planes ask
// for huge pages: a fresh plane is written in full, and faulting it in 4 KiB pages costs
// more than the copy itself. Pages are still committed only as they are first written.
std::unique_ptr<uint8_t, FreeDeleter> AllocateZeroedPixels(size_t size);

}  // namespace platform
