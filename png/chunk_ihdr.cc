#include "png/chunk_ihdr.h"

#include <cstring>

#include "platform/bytes.h"
#include "platform/exception.h"
#include "platform/gdi.h"
#include "png/exceptions.h"
#include "png/messages.h"
#include "png/png_object.h"

namespace png {

namespace {

struct BufferFormat {
  int bits_per_pixel = 0;  // 0: the pair gives no format
  bool uses_colour_table = false;
};

BufferFormat BufferFormatFor(uint8_t colour_type, uint8_t bit_depth) {
  switch (colour_type) {
    case 0:
    case 3:
    case 4:
      switch (bit_depth) {
        case 1:
        case 4:
        case 8:
          return {bit_depth, true};
        case 2:
          return {4, true};
        case 16:
          return {8, true};
        default:
          return {};
      }
    case 2:
    case 6:
      return {24, false};
    default:
      return {};
  }
}

}  // namespace

TChunkIHDR::TChunkIHDR(TPNGObject* owner) : ChunkKind(owner) {}

TChunkIHDR::~TChunkIHDR() {
  ReleaseImageBuffer();
}

void TChunkIHDR::ReleaseImageBuffer() {
  if (BufferBitmap) platform::DeleteObject(BufferBitmap);
  if (BufferDC) platform::DeleteDC(BufferDC);
  AlphaBuffer.reset();
  BufferBitmap = platform::HBITMAP{};
  BufferDC = platform::HDC{};
  PixelBuffer = nullptr;
}

void TChunkIHDR::FillBufferHeader(int bits_per_pixel, bool uses_colour_table) {
  UsesColourTable = uses_colour_table;
  BufferInfo = platform::BITMAPINFO{};
  platform::BITMAPINFOHEADER& header = BufferInfo.bmiHeader;
  header.biSize = sizeof(platform::BITMAPINFOHEADER);
  header.biWidth = static_cast<int32_t>(Width);
  header.biHeight = static_cast<int32_t>(Height);
  header.biPlanes = 1;
  header.biBitCount = static_cast<uint16_t>(bits_per_pixel);
  header.biCompression = platform::BI_RGB;
}

void TChunkIHDR::AllocateImageBuffer() {
  BufferInfo = platform::BITMAPINFO{};
  ReleaseImageBuffer();
  const BufferFormat format = BufferFormatFor(ColourType, BitDepth);
  if (format.bits_per_pixel != 0) FillBufferHeader(format.bits_per_pixel, format.uses_colour_table);
  const int64_t stride = (static_cast<int64_t>(BufferBitsPerPixel()) * Width + 31) / 32 * 4;
  RowStride = static_cast<int32_t>(stride);
  if (ColourType == 4 || ColourType == 6) {
    // Zero pages straight from the allocator: memory is committed only as rows are decoded.
    const size_t size = static_cast<size_t>(Width) * Height;
    AlphaBuffer = platform::AllocateZeroedPixels(size);
    if (!AlphaBuffer) platform::RaiseOutOfMemory();
  }
  BufferDC = platform::CreateCompatibleDC(platform::HDC{});
  if (format.bits_per_pixel != 0 && Width > 0 && Height > 0) {
    void* bits = nullptr;
    BufferBitmap = platform::CreateDIBSection(BufferDC, &BufferInfo, platform::DIB_RGB_COLORS,
                                              &bits, nullptr, 0);
    if (!BufferBitmap) {
      ReleaseImageBuffer();
      RaisePngError<EPNGOutMemory>(kOutOfResources);
    }
    // The section's memory comes zeroed, so it is not written over here.
    PixelBuffer = static_cast<uint8_t*>(bits);
  }
  if (OwnerImage != nullptr) OwnerImage->DeleteCachedPalette();
}

bool TChunkIHDR::ReadChunk(platform::TStream& stream, const ChunkName& type, int32_t length) {
  if (!TChunk::ReadChunk(stream, type, length)) return false;
  if (PayloadSize < 13) RaisePngError<EPngInvalidIHDR>(kInvalidIhdr);
  const uint8_t* data = Payload.data();
  Width = platform::LoadBe32(data);
  Height = platform::LoadBe32(data + 4);
  BitDepth = data[8];
  ColourType = data[9];
  CompressionMethod = data[10];
  FilterMethod = data[11];
  InterlaceMethod = data[12];
  if (Width > 65535 || Height > 65535) RaisePngError<EPNGSizeExceeds>(kSizeExceeds);
  if (CompressionMethod != 0) RaisePngError<EPNGUnknownCompression>(kUnknownCompression);
  if (InterlaceMethod > 1) RaisePngError<EPNGUnknownInterlace>(kUnknownInterlace);
  OwnerImage->SetInterlacing(InterlaceMethod);
  AllocateImageBuffer();
  return true;
}

bool TChunkIHDR::WriteChunk(platform::TStream& stream) {
  // The buffer holds 2-bit images at 4 bits per pixel, and they are written that way.
  if (BitDepth == 2) BitDepth = 4;
  SetPayloadSize(13);
  uint8_t* data = Payload.data();
  platform::StoreBe32(data, Width);
  platform::StoreBe32(data + 4, Height);
  data[8] = BitDepth;
  data[9] = ColourType;
  data[10] = CompressionMethod;
  data[11] = FilterMethod;
  data[12] = OwnerImage->Interlacing();
  return TChunk::WriteChunk(stream);
}

void TChunkIHDR::CopyFrom(const TChunk& source) {
  const auto* header = dynamic_cast<const TChunkIHDR*>(&source);
  if (header == nullptr) RaisePngError<EPngError>(kChunkNotCompatible);
  Width = header->Width;
  Height = header->Height;
  BitDepth = header->BitDepth;
  ColourType = header->ColourType;
  CompressionMethod = header->CompressionMethod;
  FilterMethod = header->FilterMethod;
  InterlaceMethod = header->InterlaceMethod;
  AllocateImageBuffer();
  if (PixelBuffer != nullptr && header->PixelBuffer != nullptr) {
    std::memcpy(PixelBuffer, header->PixelBuffer, static_cast<size_t>(RowStride) * Height);
  }
  if (AlphaBuffer && header->AlphaBuffer) {
    std::memcpy(AlphaBuffer.get(), header->AlphaBuffer.get(), static_cast<size_t>(Width) * Height);
  }
  std::memcpy(BufferInfo.bmiColors, header->BufferInfo.bmiColors, sizeof BufferInfo.bmiColors);
}

}  // namespace png
