// libFuzzer entry point for fuzz::BmpTrim.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_targets.h"
#include "png/module.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const png::CodecModule module;
  fuzz::BmpTrim(data, size);
  return 0;
}
