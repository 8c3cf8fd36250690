// Hand-made BMP files for the tests, composed field by field.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/gdi_types.h"

namespace tests {

struct BmpFixture {
  // 12 is a core header, 40/52/56/108/124 the Windows ones, other sizes from 16 to 64 OS/2 2.x.
  uint32_t header_size = 40;
  int32_t width = 1;
  int32_t height = 1;
  uint16_t planes = 1;
  uint16_t bits = 24;
  uint32_t compression = platform::BI_RGB;
  int32_t x_pels_per_metre = 0;
  int32_t y_pels_per_metre = 0;
  uint32_t colours_used = 0;
  // Bit-field masks: those a V2 or later header has room for go inside it, the rest follow it.
  std::vector<uint32_t> masks;
  // Written after the header and masks; 3-byte entries after a core header.
  std::vector<platform::RGBQUAD> colours;
  // Bytes left between the colour table and the pixel data.
  uint32_t gap = 0;
  // The pixel-data offset when it should not point just past the gap.
  std::optional<uint32_t> offset;
  // The pixel data as the file stores it.
  std::vector<uint8_t> pixels;
};

std::vector<uint8_t> BuildBmp(const BmpFixture& fixture);

// Packs rows of pixel values, in file order, into rows padded to 4 bytes.
std::vector<uint8_t> PackRows(int bits, const std::vector<std::vector<uint32_t>>& rows);

// A colour table of count distinct entries.
std::vector<platform::RGBQUAD> TestColours(int count);

}  // namespace tests
