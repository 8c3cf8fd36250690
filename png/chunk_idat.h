// The image-data chunk. Loading it inflates the zlib stream that runs across all consecutive
// IDAT chunks into the header's image buffer; saving it writes as many IDAT chunks as the
// compressed image fills. An image holds one such chunk whatever its file had.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "png/chunk.h"
#include "png/zlib_layer.h"

namespace png {

class TChunkIHDR;

// The scanline bytes of n pixels, without the filter-type byte.
int32_t ScanlineSize(int32_t pixels, uint8_t colour_type, uint8_t bit_depth);
// The Paeth predictor: ties go to left, then above, then upper-left. Inline, since the
// filter loops of the decoder and the encoder call it for every byte.
inline uint8_t PaethNeighbour(uint8_t left, uint8_t above, uint8_t upper_left) {
  const int pa = std::abs(above - upper_left);
  const int pb = std::abs(left - upper_left);
  const int pc = std::abs(left + above - 2 * upper_left);
  if (pa <= pb && pa <= pc) return left;
  return pb <= pc ? above : upper_left;
}

// Whether a gamma table maps every sample to itself (no gamma chunk, or a gamma of 1).
inline bool IsIdentityTable(const std::array<uint8_t, 256>& table) {
  for (size_t i = 0; i < table.size(); ++i)
    if (table[i] != i) return false;
  return true;
}

// Starting row, starting column, row increment and column increment of Adam7 passes 0-6.
struct Adam7Pass {
  int32_t row;
  int32_t column;
  int32_t row_step;
  int32_t column_step;
};
inline constexpr std::array<Adam7Pass, 7> kAdam7Passes = {{{0, 0, 8, 8},
                                                           {0, 4, 8, 8},
                                                           {4, 0, 8, 4},
                                                           {0, 2, 4, 4},
                                                           {2, 0, 4, 2},
                                                           {0, 1, 2, 2},
                                                           {1, 0, 2, 1}}};
// Columns of a pass that lie inside an image of the width (0 when none does).
inline int32_t Adam7PassWidth(int32_t pass, int32_t width) {
  const Adam7Pass& p = kAdam7Passes[pass];
  return width > p.column ? (width - p.column + p.column_step - 1) / p.column_step : 0;
}

class TChunkIDAT final : public ChunkKind<TChunkIDAT> {
 public:
  static constexpr std::string_view kClassName = "TChunkIDAT";
  using ChunkKind::ChunkKind;

  bool ReadChunk(platform::TStream& stream, const ChunkName& type, int32_t length) override;
  bool WriteChunk(platform::TStream& stream) override;

  // Decoding (the load).
  void PrepareGreyRamp();
  // Delivers count inflated bytes from the zlib stream that runs across consecutive IDAT
  // chunks, reading each following chunk's header and testing each chunk's CRC as it leaves
  // it; returns fewer when the data runs out.
  int32_t ReadInflated(TZlibStreamContext& context, uint8_t* destination, uint32_t& crc,
                       int32_t count);
  // Undoes the filter of RowBuffers[CurrentRow] against the other buffer, in place.
  void UndoRowFilter();
  void DecodeRowsPlain(TZlibStreamContext& context, uint32_t& crc);
  void DecodeRowsAdam7(TZlibStreamContext& context, uint32_t& crc);

  // Encoding (the save).
  void EncodeRowsPlain(platform::TStream& stream, TZlibStreamContext& context);
  void EncodeRowsAdam7(platform::TStream& stream, TZlibStreamContext& context);
  // Computes the candidate rows of RawRow and returns the filter type to write.
  uint8_t ChooseRowFilter();

  TChunkIHDR* HeaderChunk = nullptr;
  int32_t PixelWidth = 0;
  int32_t PixelHeight = 0;
  // Scanline bytes without the filter-type byte: of a whole row, or of a row of the pass.
  int32_t RowSize = 0;
  // Bytes per complete pixel as the filters see it (at least 1).
  uint32_t FilterStride = 0;
  // The encoder's candidate rows, indexed by filter type: PriorRow, SubRow, UpRow,
  // AverageRow, PaethRow. PriorRow holds the previous raw row, then the None candidate.
  std::array<std::vector<uint8_t>, 5> FilterRows;
  // The encoder's current scanline, packed and unfiltered.
  std::vector<uint8_t> RawRow;
  // The decoder's two scanline buffers: filter-type byte, then the scanline.
  std::array<std::vector<uint8_t>, 2> RowBuffers;
  uint8_t CurrentRow = 0;
  // The owner's gamma table of the load (decode) or the save (encode) maps every sample to
  // itself, so unpacking and packing copy.
  bool GammaIsIdentity = false;
  // Stream position just past the data of the IDAT chunk being read.
  int64_t ChunkDataEnd = 0;
};

}  // namespace png
