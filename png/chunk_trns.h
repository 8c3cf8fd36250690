// The transparency chunk: one transparent colour, or an alpha value per palette entry.
#pragma once

#include <array>
#include <cstdint>

#include "platform/gdi_types.h"
#include "png/chunk.h"

namespace png {

class TChunktRNS final : public ChunkKind<TChunktRNS> {
 public:
  static constexpr std::string_view kClassName = "TChunktRNS";
  using ChunkKind::ChunkKind;

  void CopyFrom(const TChunk& source) override;
  bool ReadChunk(platform::TStream& stream, const ChunkName& type, int32_t length) override;
  bool WriteChunk(platform::TStream& stream) override;

  // Makes the chunk describe one transparent colour for the header's colour type.
  void SetKeyColour(platform::COLORREF colour);
  // The transparent colour, or 0 where there is none.
  platform::COLORREF GetKeyColour() const;

  bool IsColourKey = false;
  // By colour type: alpha per palette entry (3), a 16-bit grey sample (0), or 16-bit red,
  // green and blue samples (2), big-endian as in the file.
  std::array<uint8_t, 256> TransparencyData{};
};

}  // namespace png
