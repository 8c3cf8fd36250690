// Small valid PNG files for tests.
#pragma once

#include "tests/png_builder.h"

namespace tests {

// A 1 x 1 8-bit greyscale image (grey 200) as one zlib stream.
inline Bytes OnePixelImageData() {
  return ZlibCompress({0, 200});
}

// Signature and the header of a 1 x 1 8-bit greyscale image.
inline PngBuilder OnePixelStart() {
  return std::move(PngBuilder().Ihdr(1, 1, 8, 0));
}

}  // namespace tests
