// The Win32-style structures, constants and handles of the platform layer.
#pragma once

#include <cstdint>

namespace platform {

// A colour value: red in bits 0-7, green in 8-15, blue in 16-23, 0 above (0x00BBGGRR).
using COLORREF = uint32_t;
// A colour as the graphics classes take it: a COLORREF, or a system colour when negative.
using TColor = int32_t;

constexpr COLORREF RGB(uint8_t red, uint8_t green, uint8_t blue) {
  return static_cast<COLORREF>(red) | (static_cast<COLORREF>(green) << 8) |
         (static_cast<COLORREF>(blue) << 16);
}
constexpr uint8_t GetRValue(COLORREF c) {
  return static_cast<uint8_t>(c);
}
constexpr uint8_t GetGValue(COLORREF c) {
  return static_cast<uint8_t>(c >> 8);
}
constexpr uint8_t GetBValue(COLORREF c) {
  return static_cast<uint8_t>(c >> 16);
}

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

struct RGBQUAD {
  uint8_t rgbBlue = 0;
  uint8_t rgbGreen = 0;
  uint8_t rgbRed = 0;
  uint8_t rgbReserved = 0;
  friend bool operator==(const RGBQUAD&, const RGBQUAD&) = default;
};

struct BITMAPINFOHEADER {
  uint32_t biSize = 0;
  int32_t biWidth = 0;
  int32_t biHeight = 0;  // positive: rows bottom-up; negative: top-down
  uint16_t biPlanes = 0;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
};

// A header with a full colour table. With BI_BITFIELDS the red, green and blue masks
// take the place of the first three entries, as in a file.
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[256];
};

// The size record that GetObject fills for a bitmap.
struct BITMAP {
  int32_t bmType = 0;
  int32_t bmWidth = 0;
  int32_t bmHeight = 0;
  int32_t bmWidthBytes = 0;
  uint16_t bmPlanes = 0;
  uint16_t bmBitsPixel = 0;
  void* bmBits = nullptr;
};

struct PALETTEENTRY {
  uint8_t peRed = 0;
  uint8_t peGreen = 0;
  uint8_t peBlue = 0;
  uint8_t peFlags = 0;
};

struct LOGPALETTE {
  uint16_t palVersion = 0x300;
  uint16_t palNumEntries = 0;
  PALETTEENTRY palPalEntry[256];
};

struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
};

inline TRect Rect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return TRect{left, top, right, bottom};
}

// Compression values of a bitmap header.
constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;
constexpr uint32_t BI_JPEG = 4;
constexpr uint32_t BI_PNG = 5;
constexpr uint32_t BI_ALPHABITFIELDS = 6;

constexpr uint32_t DIB_RGB_COLORS = 0;
constexpr uint32_t CBM_INIT = 4;

// Raster operations.
constexpr uint32_t SRCCOPY = 0x00CC0020;
constexpr uint32_t SRCAND = 0x008800C6;
constexpr uint32_t SRCPAINT = 0x00EE0086;
constexpr uint32_t NOTSRCCOPY = 0x00330008;

// Handles name objects that the platform layer owns. The value 0 is no object; values are
// never reused, so a handle whose object is gone is detected.
template <typename Tag>
struct GdiHandle {
  uint32_t value = 0;
  explicit operator bool() const { return value != 0; }
  friend bool operator==(GdiHandle, GdiHandle) = default;
};

struct BitmapTag;
struct PaletteTag;
struct DcTag;
using HBITMAP = GdiHandle<BitmapTag>;
using HPALETTE = GdiHandle<PaletteTag>;
using HDC = GdiHandle<DcTag>;

// Any object that SelectObject and DeleteObject take.
struct HGDIOBJ {
  uint32_t value = 0;
  HGDIOBJ() = default;
  HGDIOBJ(HBITMAP h) : value(h.value) {}   // NOLINT: converts like the Win32 handle types
  HGDIOBJ(HPALETTE h) : value(h.value) {}  // NOLINT
  explicit operator bool() const { return value != 0; }
  explicit operator HBITMAP() const { return HBITMAP{value}; }
};

}  // namespace platform
