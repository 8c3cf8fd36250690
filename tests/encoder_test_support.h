// Support for encoder tests: images built in memory without the decoder, and independent
// checks of what the encoder writes (libpng, pngcheck, zlib).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "png/chunk_ihdr.h"
#include "png/png_object.h"
#include "tests/png_builder.h"

namespace tests {

// An image object holding IHDR (with an all-zero buffer), PLTE for colour type 3 (2^bit depth
// entries of distinct colours), IDAT and IEND, with identity gamma tables.
std::unique_ptr<png::TPNGObject> MakeImage(uint8_t colour_type, uint8_t bit_depth, uint32_t width,
                                           uint32_t height);
// Fills the pixel rows (fill bytes included) and the alpha plane with a pattern that mixes
// smooth runs and noise; 2-bit images get only the values the decoder would store.
void FillPattern(png::TChunkIHDR& header, uint32_t seed = 0);

// The payloads of the IDAT chunks of a file, in order.
std::vector<Bytes> IdatPayloadsOf(const Bytes& file);
// The IDAT payloads joined and inflated; empty when zlib reports an error.
Bytes InflateImageData(const Bytes& file);

struct DecodedPng {
  std::string error;  // empty when libpng read the file without error or warning
  uint32_t width = 0;
  uint32_t height = 0;
  int bit_depth = 0;
  int colour_type = 0;
  int interlace = 0;
  int channels = 0;
  std::vector<Bytes> rows;           // deinterlaced rows in file sample layout
  std::vector<uint8_t> palette_rgb;  // red, green, blue per entry
};
DecodedPng DecodeWithLibpng(const Bytes& file);
// Sample `channel` of pixel (x, y) at the file's bit depth.
uint32_t SampleOf(const DecodedPng& image, uint32_t x, uint32_t y, int channel);

// Runs pngcheck on the file; returns its report when it finds fault, else an empty string.
std::string PngcheckComplaint(const Bytes& file);

}  // namespace tests
