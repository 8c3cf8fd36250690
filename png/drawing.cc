// Drawing with transparency, pixel access and the palette handle.
// Placeholder until drawing lands: nothing is drawn and pixels read as 0.
#include "png/png_object.h"

namespace png {

void TPNGObject::Draw(platform::TCanvas&, const platform::TRect&) {}

void TPNGObject::DrawColourKeyed(platform::HDC, const void*, const platform::BITMAPINFO&,
                                 const platform::TRect&, platform::COLORREF) {}

void TPNGObject::DrawAlphaBlended(platform::HDC, const platform::TRect&) {}

uint8_t* TPNGObject::GetRowAddress(int row) const {
  const TChunkIHDR& header = ImageHeader();
  return header.PixelBuffer + static_cast<int64_t>(header.RowStride) * (Height() - 1 - row);
}

platform::COLORREF TPNGObject::GetPixelColour(int, int) {
  return 0;
}

void TPNGObject::SetPixelColour(int, int, platform::COLORREF) {}

platform::COLORREF TPNGObject::GetIndexedPixel(int, int) {
  return 0;
}

void TPNGObject::SetIndexedPixel(int, int, platform::COLORREF) {}

platform::COLORREF TPNGObject::GetTrueColourPixel(int, int) {
  return 0;
}

void TPNGObject::SetTrueColourPixel(int, int, platform::COLORREF) {}

platform::HPALETTE TPNGObject::GetPalette() {
  return CachedPalette;
}

}  // namespace png
