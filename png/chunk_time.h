// The time chunk: the time of the image's last modification.
#pragma once

#include <cstdint>

#include "png/chunk.h"

namespace png {

class TChunktIME final : public ChunkKind<TChunktIME> {
 public:
  static constexpr std::string_view kClassName = "TChunktIME";
  using ChunkKind::ChunkKind;

  // Copies the data and the six time fields, so that a copied image writes the same time.
  void CopyFrom(const TChunk& source) override;
  // Data of any length but 7 leaves the fields as they were.
  bool ReadChunk(platform::TStream& stream, const ChunkName& type, int32_t length) override;
  bool WriteChunk(platform::TStream& stream) override;

  uint16_t Year = 0;
  uint8_t Month = 0;
  uint8_t Day = 0;
  uint8_t Hour = 0;
  uint8_t Minute = 0;
  uint8_t Second = 0;
};

}  // namespace png
