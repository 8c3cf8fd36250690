// The header chunk, which owns the decoded image: pixel rows laid out as a bottom-up
// device-independent bitmap, a colour table and a separate plane of alpha bytes.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/gdi_types.h"
#include "platform/pixel_memory.h"
#include "png/chunk.h"

namespace png {

class TChunkIHDR final : public ChunkKind<TChunkIHDR> {
 public:
  static constexpr std::string_view kClassName = "TChunkIHDR";

  explicit TChunkIHDR(TPNGObject* owner);
  ~TChunkIHDR() override;

  void CopyFrom(const TChunk& source) override;
  bool ReadChunk(platform::TStream& stream, const ChunkName& type, int32_t length) override;
  bool WriteChunk(platform::TStream& stream) override;

  // Throws away the buffer and makes an all-zero one for the current header fields.
  void AllocateImageBuffer();
  void ReleaseImageBuffer();
  void FillBufferHeader(int bits_per_pixel, bool uses_colour_table);
  // The buffer's bits per pixel: 0 when the colour type and bit depth give no format.
  int BufferBitsPerPixel() const { return BufferInfo.bmiHeader.biBitCount; }

  platform::HBITMAP BufferBitmap;
  platform::HDC BufferDC;
  bool UsesColourTable = false;
  platform::BITMAPINFO BufferInfo{};
  int32_t RowStride = 0;
  // The pixel rows, bottom-up; they belong to BufferBitmap.
  uint8_t* PixelBuffer = nullptr;
  // Top-down, one byte per pixel, for colour types 4 and 6 only.
  std::unique_ptr<uint8_t, platform::FreeDeleter> AlphaBuffer;
  uint32_t Width = 0;
  uint32_t Height = 0;
  uint8_t BitDepth = 0;
  uint8_t ColourType = 0;
  uint8_t CompressionMethod = 0;
  uint8_t FilterMethod = 0;
  uint8_t InterlaceMethod = 0;
};

}  // namespace png
