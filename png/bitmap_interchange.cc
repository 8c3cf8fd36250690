// Conversion of a PNG image to a platform bitmap and of a platform bitmap to a PNG image.
#include <cstdlib>

#include "platform/exception.h"
#include "platform/gdi.h"
#include "png/chunk_idat.h"
#include "png/chunk_plte.h"
#include "png/chunk_trns.h"
#include "png/png_object.h"

namespace png {

namespace {

// The bitmap format that shows a buffer of the given bits per pixel without conversion.
bool PixelFormatForBuffer(int bits_per_pixel, platform::TPixelFormat& format) {
  switch (bits_per_pixel) {
    case 1:
      format = platform::pf1bit;
      return true;
    case 4:
      format = platform::pf4bit;
      return true;
    case 8:
      format = platform::pf8bit;
      return true;
    case 24:
      format = platform::pf24bit;
      return true;
    case 32:
      format = platform::pf32bit;
      return true;
    default:
      return false;
  }
}

}  // namespace

void TPNGObject::AssignTo(platform::TPersistent& dest) const {
  if (auto* png = dynamic_cast<TPNGObject*>(&dest)) {
    png->CopyFromPng(*this);
    return;
  }
  auto* bitmap = dynamic_cast<platform::TBitmap*>(&dest);
  if (bitmap == nullptr || !HasImageHeader()) {
    TGraphic::AssignTo(dest);
    return;
  }
  const TChunkIHDR& header = ImageHeader();
  const platform::HDC screen = platform::GetDC(nullptr);
  // The bitmap keeps the buffer's format and colour table, so no colour is remapped.
  const platform::HBITMAP pixels =
      platform::CreateDIBitmap(screen, &header.BufferInfo.bmiHeader, platform::CBM_INIT,
                               header.PixelBuffer, &header.BufferInfo, platform::DIB_RGB_COLORS);
  bitmap->SetHandle(pixels);
  platform::ReleaseDC(nullptr, screen);
  platform::TPixelFormat format;
  if (PixelFormatForBuffer(header.BufferBitsPerPixel(), format)) bitmap->SetPixelFormat(format);
  if (GetTransparencyKind() == TransparencyKind::ColourKey) {
    bitmap->SetTransparentColor(
        static_cast<platform::TColor>(Chunks.FirstChunkOfClass<TChunktRNS>()->GetKeyColour()));
    bitmap->SetTransparent(true);
  }
}

void TPNGObject::AssignFromBitmap(const platform::TBitmap& bitmap) {
  const platform::COLORREF key_colour = platform::ColorToRGB(bitmap.TransparentColor());
  const bool transparent = bitmap.Transparent();
  ConvertFromBitmapHandle(bitmap.Handle(), transparent, key_colour);
}

void TPNGObject::ConvertFromBitmapHandle(platform::HBITMAP handle, bool transparent,
                                         platform::COLORREF key_colour) {
  platform::BITMAP size;
  // A handle without a bitmap (an empty bitmap) has nothing to convert.
  if (platform::GetObject(handle, sizeof size, &size) == 0) {
    platform::RaiseConvertError("TBitmap", kClassName);
  }
  const bool indexed = size.bmBitsPixel < 16;
  DiscardChunks();
  auto* header = static_cast<TChunkIHDR*>(Chunks.Adopt(std::make_unique<TChunkIHDR>(this)));
  TChunkPLTE* palette = nullptr;
  TChunktRNS* transparency = nullptr;
  if (indexed) {
    palette = static_cast<TChunkPLTE*>(Chunks.Adopt(std::make_unique<TChunkPLTE>(this)));
  }
  if (transparent) {
    transparency = static_cast<TChunktRNS*>(Chunks.Adopt(std::make_unique<TChunktRNS>(this)));
  }
  Chunks.Adopt(std::make_unique<TChunkIDAT>(this));
  Chunks.Adopt(std::make_unique<TChunkIEND>(this));
  FillHeaderFromBitmap(*header, handle, size);
  if (palette != nullptr) palette->EntryCount = 1 << size.bmBitsPixel;
  if (transparency != nullptr) transparency->SetKeyColour(key_colour);
}

void TPNGObject::FillHeaderFromBitmap(TChunkIHDR& header, platform::HBITMAP handle,
                                      const platform::BITMAP& size) {
  header.Width = static_cast<uint32_t>(size.bmWidth);
  header.Height = static_cast<uint32_t>(std::abs(size.bmHeight));
  if (size.bmBitsPixel >= 16) {
    header.BitDepth = 8;
    header.ColourType = 2;
  } else {
    header.BitDepth = static_cast<uint8_t>(size.bmBitsPixel);
    header.ColourType = 3;
  }
  header.CompressionMethod = 0;
  header.InterlaceMethod = 0;
  header.AllocateImageBuffer();
  const platform::HDC dc = platform::CreateCompatibleDC(platform::HDC{});
  platform::GetDIBits(dc, handle, 0, header.Height, header.PixelBuffer, &header.BufferInfo,
                      platform::DIB_RGB_COLORS);
  platform::DeleteDC(dc);
}

}  // namespace png
