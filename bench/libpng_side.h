// libpng as the comparison: a decode of a PNG file held in memory to the same 8-bit samples
// our decoder stores, and an encode of those samples with the settings our encoder uses.
// Compiled only when libpng is found (TRIM_BENCH_HAVE_LIBPNG).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct LibpngImage {
  uint32_t width = 0;
  uint32_t height = 0;
  int bit_depth = 0;    // after the transforms: 16 becomes 8
  int colour_type = 0;  // as in the file
  int interlace = 0;
  size_t row_bytes = 0;
  // Rows top-down, row_bytes apart: colour as blue, green, red (then alpha for colour type
  // 6), grey and palette indices as stored, 1-, 2- and 4-bit samples packed.
  std::vector<uint8_t> pixels;
  std::vector<uint8_t> palette;  // red, green, blue per entry
  std::vector<uint8_t> palette_alpha;
};

// Decodes the file; on failure returns false with libpng's message.
bool LibpngDecode(const std::vector<uint8_t>& file, LibpngImage& image, std::string& error);

// Encodes the image at level 9 with the Sub filter only and our encoder's zlib parameters and
// IDAT size, keeping its interlace method; on failure returns false with libpng's message.
bool LibpngEncode(const LibpngImage& image, std::vector<uint8_t>& file, std::string& error);

// The version libpng reports at run time, and the one it was built against.
std::string LibpngVersion();

}  // namespace bench
