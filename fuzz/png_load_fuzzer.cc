// libFuzzer entry point for fuzz::PngLoad.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_targets.h"
#include "png/module.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const png::CodecModule module;
  fuzz::PngLoad(data, size);
  return 0;
}
