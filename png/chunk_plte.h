// The palette chunk. Its colours live, gamma-corrected, in the colour table of the header's
// image buffer; the chunk records how many entries are valid.
#pragma once

#include <cstdint>

#include "png/chunk.h"

namespace png {

class TChunkPLTE final : public ChunkKind<TChunkPLTE> {
 public:
  static constexpr std::string_view kClassName = "TChunkPLTE";
  using ChunkKind::ChunkKind;

  void CopyFrom(const TChunk& source) override;
  bool ReadChunk(platform::TStream& stream, const ChunkName& type, int32_t length) override;
  bool WriteChunk(platform::TStream& stream) override;

  // Colour-table entry index as blue | green << 8 | red << 16; raises EPngError for an
  // index beyond the palette.
  uint32_t GetEntry(uint8_t index) const;

  int32_t EntryCount = 0;
};

}  // namespace png
