// The routines that store one unfiltered scanline in the image buffer: ten for the rows of a
// plain image, ten for the rows of an Adam7 pass. Each reads the chunk's PixelWidth, RowSize
// and the owner's DecodeGammaTable; the alpha row is used only by the colour types with alpha.
#pragma once

#include <cstdint>

namespace png {

class TChunkIDAT;

using UnpackRowRoutine = void (*)(const TChunkIDAT& chunk, const uint8_t* source,
                                  uint8_t* image_row, uint8_t* alpha_row);
using UnpackPassRoutine = void (*)(const TChunkIDAT& chunk, int pass, const uint8_t* source,
                                   uint8_t* image_row, uint8_t* alpha_row);

struct UnpackRoutines {
  UnpackRowRoutine row = nullptr;
  UnpackPassRoutine pass = nullptr;
};

// The pair for a colour type and bit depth; both none for pairs that cannot be decoded.
UnpackRoutines UnpackRoutinesFor(uint8_t colour_type, uint8_t bit_depth);

void UnpackRowIndexed(const TChunkIDAT& chunk, const uint8_t* source, uint8_t* image_row,
                      uint8_t* alpha_row);
void UnpackRowIndexed2(const TChunkIDAT& chunk, const uint8_t* source, uint8_t* image_row,
                       uint8_t* alpha_row);
void UnpackRowGrey2(const TChunkIDAT& chunk, const uint8_t* source, uint8_t* image_row,
                    uint8_t* alpha_row);
void UnpackRowGrey16(const TChunkIDAT& chunk, const uint8_t* source, uint8_t* image_row,
                     uint8_t* alpha_row);
void UnpackRowRgb8(const TChunkIDAT& chunk, const uint8_t* source, uint8_t* image_row,
                   uint8_t* alpha_row);
void UnpackRowRgb16(const TChunkIDAT& chunk, const uint8_t* source, uint8_t* image_row,
                    uint8_t* alpha_row);
void UnpackRowGreyAlpha8(const TChunkIDAT& chunk, const uint8_t* source, uint8_t* image_row,
                         uint8_t* alpha_row);
void UnpackRowGreyAlpha16(const TChunkIDAT& chunk, const uint8_t* source, uint8_t* image_row,
                          uint8_t* alpha_row);
void UnpackRowRgbAlpha8(const TChunkIDAT& chunk, const uint8_t* source, uint8_t* image_row,
                        uint8_t* alpha_row);
void UnpackRowRgbAlpha16(const TChunkIDAT& chunk, const uint8_t* source, uint8_t* image_row,
                         uint8_t* alpha_row);

void UnpackPassIndexed(const TChunkIDAT& chunk, int pass, const uint8_t* source, uint8_t* image_row,
                       uint8_t* alpha_row);
void UnpackPassIndexed2(const TChunkIDAT& chunk, int pass, const uint8_t* source,
                        uint8_t* image_row, uint8_t* alpha_row);
void UnpackPassGrey2(const TChunkIDAT& chunk, int pass, const uint8_t* source, uint8_t* image_row,
                     uint8_t* alpha_row);
void UnpackPassGrey16(const TChunkIDAT& chunk, int pass, const uint8_t* source, uint8_t* image_row,
                      uint8_t* alpha_row);
void UnpackPassRgb8(const TChunkIDAT& chunk, int pass, const uint8_t* source, uint8_t* image_row,
                    uint8_t* alpha_row);
void UnpackPassRgb16(const TChunkIDAT& chunk, int pass, const uint8_t* source, uint8_t* image_row,
                     uint8_t* alpha_row);
void UnpackPassGreyAlpha8(const TChunkIDAT& chunk, int pass, const uint8_t* source,
                          uint8_t* image_row, uint8_t* alpha_row);
void UnpackPassGreyAlpha16(const TChunkIDAT& chunk, int pass, const uint8_t* source,
                           uint8_t* image_row, uint8_t* alpha_row);
void UnpackPassRgbAlpha8(const TChunkIDAT& chunk, int pass, const uint8_t* source,
                         uint8_t* image_row, uint8_t* alpha_row);
void UnpackPassRgbAlpha16(const TChunkIDAT& chunk, int pass, const uint8_t* source,
                          uint8_t* image_row, uint8_t* alpha_row);

}  // namespace png
