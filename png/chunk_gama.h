// The gamma chunk: its value turns into the owner's decode and encode gamma tables.
#pragma once

#include <cstdint>

#include "png/chunk.h"

namespace png {

class TChunkgAMA final : public ChunkKind<TChunkgAMA> {
 public:
  static constexpr std::string_view kClassName = "TChunkgAMA";

  // A new gamma chunk holds the value 1.
  explicit TChunkgAMA(TPNGObject* owner);

  void CopyFrom(const TChunk& source) override;
  bool ReadChunk(platform::TStream& stream, const ChunkName& type, int32_t length) override;

  // The image gamma times 100000; 1 (stored back) when the data is not 4 bytes long.
  uint32_t GetGammaValue();
  void SetGammaValue(uint32_t value);
};

}  // namespace png
