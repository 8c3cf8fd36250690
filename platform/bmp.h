// Reading and writing BMP files.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/dib.h"
#include "platform/stream.h"

namespace platform {

// Pixels per metre as a BMP header records them.
struct BmpResolution {
  int32_t x_pels_per_metre = 0;
  int32_t y_pels_per_metre = 0;
};

// Reads a BMP file that starts at the stream's position. Anything that is not a bitmap this
// reader can take raises EInvalidGraphic; no read goes past the data and no allocation
// exceeds what the file can hold (or, for RLE data, a sane bound on width x height).
std::unique_ptr<Dib> ReadBmp(TStream& stream, BmpResolution* resolution);

// Writes a BITMAPINFOHEADER file with bottom-up rows: the colour table for 8 bits and below,
// bit fields for 16-bit layouts other than 5-5-5 and for 32-bit bit-field layouts.
void WriteBmp(TStream& stream, const Dib& dib, const BmpResolution& resolution);

}  // namespace platform
