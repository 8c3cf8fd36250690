// Packing a row of the image buffer into a PNG scanline, unfiltered: one routine per family of
// colour type and bit depth, in a plain kind (a whole row) and an Adam7 kind (the columns of
// one pass), chosen once per image.
#pragma once

#include <cstdint>

namespace png {

class TChunkIDAT;

// Source is the image row in PixelBuffer, alpha the row in AlphaBuffer (read only for colour
// types 4 and 6), destination the scanline, RowSize bytes.
using PackRowRoutine = void (*)(const TChunkIDAT& chunk, const uint8_t* source,
                                const uint8_t* alpha, uint8_t* destination);
using PackPassRoutine = void (*)(const TChunkIDAT& chunk, uint8_t pass, const uint8_t* source,
                                 const uint8_t* alpha, uint8_t* destination);

struct Packing {
  PackRowRoutine row = nullptr;
  PackPassRoutine pass = nullptr;
  // The bits per pixel of the image buffer that the routines read.
  int buffer_bits_per_pixel = 0;
};

// The routines for a colour type and bit depth; both none when the pair has no packing.
Packing ChoosePacking(uint8_t colour_type, uint8_t bit_depth);

}  // namespace png
