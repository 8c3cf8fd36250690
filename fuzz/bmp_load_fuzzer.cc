// Feeds arbitrary bytes to the BMP reader and writes back whatever it reads.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/bitmap.h"
#include "platform/exception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::TBitmap bitmap;
  platform::TMemoryStream input(std::vector<uint8_t>(data, data + size));
  try {
    bitmap.LoadFromStream(input);
    platform::TMemoryStream output;
    bitmap.SaveToStream(output);
  } catch (const platform::Exception&) {
  }
  return 0;
}
