// The time chunk: the time of the image's last modification.
#pragma once

#include <cstdint>

#include "png/chunk.h"

namespace png {

class TChunktIME final : public ChunkKind<TChunktIME> {
 public:
  static constexpr std::string_view kClassName = "TChunktIME";
  using ChunkKind::ChunkKind;

  uint16_t Year = 0;
  uint8_t Month = 0;
  uint8_t Day = 0;
  uint8_t Hour = 0;
  uint8_t Minute = 0;
  uint8_t Second = 0;
};

}  // namespace png
