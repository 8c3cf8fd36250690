// The palette and transparency chunks.
#include <algorithm>
#include <cstring>

#include "png/chunk_ihdr.h"
#include "png/chunk_plte.h"
#include "png/chunk_trns.h"
#include "png/exceptions.h"
#include "png/messages.h"
#include "png/png_object.h"

namespace png {

void TChunkPLTE::CopyFrom(const TChunk& source) {
  const auto* palette = dynamic_cast<const TChunkPLTE*>(&source);
  if (palette == nullptr) RaisePngError<EPngError>(kChunkNotCompatible);
  // The entries travel with the header's colour table.
  EntryCount = palette->EntryCount;
}

bool TChunkPLTE::ReadChunk(platform::TStream& stream, const ChunkName& type, int32_t length) {
  const bool result = TChunk::ReadChunk(stream, type, length);
  if (!result) return result;
  if (length % 3 != 0 || length / 3 > 256) RaisePngError<EPNGInvalidPalette>(kInvalidPalette);
  EntryCount = length / 3;
  const auto& gamma = OwnerImage->DecodeGammaTable;
  platform::RGBQUAD* table = OwnerHeader().BufferInfo.bmiColors;
  for (int32_t i = 0; i < EntryCount; ++i) {
    const uint8_t* rgb = Payload.data() + 3 * i;
    table[i] = platform::RGBQUAD{gamma[rgb[2]], gamma[rgb[1]], gamma[rgb[0]], 0};
  }
  return result;
}

bool TChunkPLTE::WriteChunk(platform::TStream& stream) {
  SetPayloadSize(3 * EntryCount);
  const auto& gamma = OwnerImage->EncodeGammaTable;
  const platform::RGBQUAD* table = OwnerHeader().BufferInfo.bmiColors;
  for (int32_t i = 0; i < EntryCount; ++i) {
    uint8_t* rgb = Payload.data() + 3 * i;
    rgb[0] = gamma[table[i].rgbRed];
    rgb[1] = gamma[table[i].rgbGreen];
    rgb[2] = gamma[table[i].rgbBlue];
  }
  return TChunk::WriteChunk(stream);
}

uint32_t TChunkPLTE::GetEntry(uint8_t index) const {
  if (static_cast<int32_t>(index) > EntryCount - 1) {
    RaisePngError<EPngError>(kNoSuchPaletteEntry);
  }
  const platform::RGBQUAD& entry = OwnerHeader().BufferInfo.bmiColors[index];
  return static_cast<uint32_t>(entry.rgbBlue) | (static_cast<uint32_t>(entry.rgbGreen) << 8) |
         (static_cast<uint32_t>(entry.rgbRed) << 16) |
         (static_cast<uint32_t>(entry.rgbReserved) << 24);
}

void TChunktRNS::CopyFrom(const TChunk& source) {
  if (const auto* transparency = dynamic_cast<const TChunktRNS*>(&source)) {
    TransparencyData = transparency->TransparencyData;
    IsColourKey = transparency->IsColourKey;
  }
  TChunk::CopyFrom(source);
}

bool TChunktRNS::ReadChunk(platform::TStream& stream, const ChunkName& type, int32_t length) {
  const bool result = TChunk::ReadChunk(stream, type, length);
  if (!result) return result;
  if (length > 256) RaisePngError<EPNGInvalidPalette>(kInvalidPalette);
  TransparencyData.fill(255);
  std::memcpy(TransparencyData.data(), Payload.data(), static_cast<size_t>(length));
  switch (OwnerHeader().ColourType) {
    case 0:
    case 2:
      IsColourKey = true;
      break;
    case 3:
      // One entry that is not fully opaque makes a colour key; more or none, alpha.
      IsColourKey = std::count_if(TransparencyData.begin(), TransparencyData.begin() + length,
                                  [](uint8_t alpha) { return alpha != 255; }) == 1;
      break;
    default:
      break;
  }
  return result;
}

bool TChunktRNS::WriteChunk(platform::TStream& stream) {
  if (PayloadSize <= 256) {
    std::memcpy(Payload.data(), TransparencyData.data(), static_cast<size_t>(PayloadSize));
  }
  return TChunk::WriteChunk(stream);
}

void TChunktRNS::SetKeyColour(platform::COLORREF colour) {
  const uint8_t red = platform::GetRValue(colour);
  const uint8_t green = platform::GetGValue(colour);
  const uint8_t blue = platform::GetBValue(colour);
  TransparencyData.fill(0);
  IsColourKey = true;
  const TChunkIHDR& header = OwnerHeader();
  switch (header.ColourType) {
    case 0:
      SetPayloadSize(2);
      TransparencyData[1] = red;
      break;
    case 2:
      SetPayloadSize(6);
      TransparencyData[1] = red;
      TransparencyData[3] = green;
      TransparencyData[5] = blue;
      break;
    case 3: {
      const platform::RGBQUAD* table = header.BufferInfo.bmiColors;
      int index = 0;
      for (int i = 0; i < 256; ++i) {
        if (table[i].rgbRed == red && table[i].rgbGreen == green && table[i].rgbBlue == blue) {
          index = i;
          break;
        }
      }
      std::fill_n(TransparencyData.begin(), index, uint8_t{255});
      SetPayloadSize(index + 1);
      break;
    }
    default:
      break;
  }
}

platform::COLORREF TChunktRNS::GetKeyColour() const {
  const TChunkIHDR& header = OwnerHeader();
  switch (header.ColourType) {
    case 0: {
      // The grey that pixels with the transparent sample show: the ramp entry the buffer
      // holds for that sample (the high byte of 16-bit samples, four times 2-bit ones).
      const uint32_t sample =
          (static_cast<uint32_t>(TransparencyData[0]) << 8) | TransparencyData[1];
      uint32_t index = sample >> 8;
      if (header.BitDepth <= 8) index = sample & ((1u << header.BitDepth) - 1);
      if (header.BitDepth == 2) index *= 4;
      const platform::RGBQUAD& level = header.BufferInfo.bmiColors[index & 0xFF];
      return platform::RGB(level.rgbRed, level.rgbGreen, level.rgbBlue);
    }
    case 2:
      return platform::RGB(TransparencyData[1], TransparencyData[3], TransparencyData[5]);
    case 3: {
      const int32_t count = std::min<int32_t>(PayloadSize, 256);
      for (int32_t i = 0; i < count; ++i) {
        if (TransparencyData[i] != 0) continue;
        const auto* palette = OwnerImage->Chunks.FirstChunkOfClass<TChunkPLTE>();
        if (palette == nullptr) return 0;
        const uint32_t entry = palette->GetEntry(static_cast<uint8_t>(i));
        return platform::RGB(static_cast<uint8_t>(entry >> 16), static_cast<uint8_t>(entry >> 8),
                             static_cast<uint8_t>(entry));
      }
      return 0;
    }
    default:
      return 0;
  }
}

}  // namespace png
