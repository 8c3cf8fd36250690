// PNG images built in memory: a header with its zeroed buffer and the chunks a test adds, with
// pixels written straight into the buffer. Nothing is decoded.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gdi.h"
#include "png/chunk_ihdr.h"
#include "png/chunk_plte.h"
#include "png/chunk_trns.h"
#include "png/png_object.h"

namespace tests {

// Appends a header of the size and format with its buffer; greyscale images get the grey ramp
// that a load gives them (identity gamma).
inline png::TChunkIHDR& AddHeader(png::TPNGObject& image, uint32_t width, uint32_t height,
                                  uint8_t bit_depth, uint8_t colour_type) {
  auto* header =
      static_cast<png::TChunkIHDR*>(image.Chunks.Adopt(std::make_unique<png::TChunkIHDR>(&image)));
  header->Width = width;
  header->Height = height;
  header->BitDepth = bit_depth;
  header->ColourType = colour_type;
  header->AllocateImageBuffer();
  const int bits = header->BufferBitsPerPixel();
  if ((colour_type == 0 || colour_type == 4) && bits > 0 && bits <= 8) {
    const int n = 1 << bits;
    for (int i = 0; i < n; ++i) {
      const auto level = static_cast<uint8_t>(platform::MulDiv(i, 255, n - 1));
      header->BufferInfo.bmiColors[i] = platform::RGBQUAD{level, level, level, 0};
    }
  }
  return *header;
}

inline png::TChunkPLTE& AddPalette(png::TPNGObject& image,
                                   const std::vector<platform::COLORREF>& colours) {
  auto* palette =
      static_cast<png::TChunkPLTE*>(image.Chunks.Adopt(std::make_unique<png::TChunkPLTE>(&image)));
  palette->EntryCount = static_cast<int32_t>(colours.size());
  for (size_t i = 0; i < colours.size(); ++i) {
    image.ImageHeader().BufferInfo.bmiColors[i] =
        platform::RGBQUAD{platform::GetBValue(colours[i]), platform::GetGValue(colours[i]),
                          platform::GetRValue(colours[i]), 0};
  }
  return *palette;
}

// A transparency chunk as a load makes it from these bytes.
inline png::TChunktRNS& AddTransparency(png::TPNGObject& image, const std::vector<uint8_t>& data) {
  auto* transparency =
      static_cast<png::TChunktRNS*>(image.Chunks.Adopt(std::make_unique<png::TChunktRNS>(&image)));
  transparency->TransparencyData.fill(255);
  std::copy(data.begin(), data.end(), transparency->TransparencyData.begin());
  transparency->SetPayloadSize(static_cast<int32_t>(data.size()));
  const auto partial = std::count_if(data.begin(), data.end(), [](uint8_t a) { return a != 255; });
  transparency->IsColourKey = image.ImageHeader().ColourType != 3 || partial == 1;
  return *transparency;
}

inline png::TChunktRNS& AddKeyColour(png::TPNGObject& image, platform::COLORREF key) {
  auto* transparency =
      static_cast<png::TChunktRNS*>(image.Chunks.Adopt(std::make_unique<png::TChunktRNS>(&image)));
  transparency->SetKeyColour(key);
  return *transparency;
}

inline uint8_t* BufferRow(const png::TChunkIHDR& header, uint32_t y) {
  return header.PixelBuffer + static_cast<int64_t>(header.RowStride) * (header.Height - 1 - y);
}

// Writes a colour-table index at its bits of a 1-, 4- or 8-bit buffer.
inline void PutIndex(png::TChunkIHDR& header, uint32_t x, uint32_t y, uint8_t index) {
  const int bits = header.BufferBitsPerPixel();
  const uint32_t per_byte = 8 / static_cast<uint32_t>(bits);
  const int shift = 8 - bits - bits * static_cast<int>(x % per_byte);
  uint8_t& byte = BufferRow(header, y)[x / per_byte];
  const int mask = ((1 << bits) - 1) << shift;
  byte = static_cast<uint8_t>((byte & ~mask) | ((index << shift) & mask));
}

inline void PutColour(png::TChunkIHDR& header, uint32_t x, uint32_t y, platform::COLORREF colour) {
  uint8_t* pixel = BufferRow(header, y) + 3 * static_cast<size_t>(x);
  pixel[0] = platform::GetBValue(colour);
  pixel[1] = platform::GetGValue(colour);
  pixel[2] = platform::GetRValue(colour);
}

inline void PutAlpha(png::TChunkIHDR& header, uint32_t x, uint32_t y, uint8_t alpha) {
  header.AlphaBuffer.get()[static_cast<size_t>(y) * header.Width + x] = alpha;
}

}  // namespace tests
