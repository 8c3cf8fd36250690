// Feeds arbitrary bytes to the PNG loader, and whatever loads through the bitmap
// conversion and the encoder. Only the codec's own exceptions may come out.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/bitmap.h"
#include "platform/exception.h"
#include "png/module.h"
#include "png/png_object.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static png::CodecModule module;
  png::TPNGObject image;
  platform::TMemoryStream input(std::vector<uint8_t>(data, data + size));
  try {
    image.LoadFromStream(input);
    platform::TBitmap bitmap;
    bitmap.Assign(image);
    platform::TMemoryStream output;
    image.SaveToStream(output);
    if (!bitmap.Empty()) {
      image.Assign(bitmap);
      image.SaveToStream(output);
    }
  } catch (const platform::Exception&) {
  }
  return 0;
}
