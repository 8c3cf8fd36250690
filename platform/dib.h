// Device-independent bitmaps: pixel memory described by a format. Every bitmap of the
// platform layer, device-dependent or not, is one of these, since there is no display.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gdi_types.h"

namespace platform {

struct DibFormat {
  int bits = 32;  // bits per pixel: 1, 4, 8, 16, 24 or 32
  // Red, green and blue masks of 16- and 32-bit pixels (always set for those depths).
  uint32_t red_mask = 0;
  uint32_t green_mask = 0;
  uint32_t blue_mask = 0;
  uint32_t alpha_mask = 0;
  // The pixel layout was declared by bit fields rather than implied by the depth.
  bool bitfields = false;
  // The colour table of 1-, 4- and 8-bit pixels; pixel values beyond it show black.
  std::vector<RGBQUAD> colours;
  // A one-plane device bitmap: its pixels are 0 and 1 and take their colours from the
  // device contexts of a blit (text colour and background colour).
  bool monochrome = false;

  bool Indexed() const { return bits <= 8; }
};

// The standard layouts: 5-5-5 for 16 bits, 8-8-8 for 24 and 32 bits, no colour table.
DibFormat DirectFormat(int bits);
// 16 bits in the 5-6-5 layout, declared by bit fields.
DibFormat Rgb565Format();
DibFormat IndexedFormat(int bits, std::vector<RGBQUAD> colours);
DibFormat MonochromeFormat();

// Bytes of one row: the bits of width pixels rounded up to whole 32-bit words, in 64 bits.
int64_t DibStride(int64_t width, int bits);

// Pixel memory with its format. Rows are kept top-down or bottom-up as the bitmap was
// described; Row(y) hides the difference (y = 0 is the top row).
class Dib {
 public:
  // Zeroed memory straight from the allocator, so untouched pages cost nothing. Returns
  // nothing when the memory cannot be had.
  static std::unique_ptr<Dib> Allocate(int width, int height, DibFormat format, bool top_down);
  // A view of pixel memory that somebody else owns.
  static std::unique_ptr<Dib> Wrap(int width, int height, DibFormat format, bool top_down,
                                   uint8_t* bits);
  // A view of the pixels that a BITMAPINFO describes; nothing when it describes no layout
  // this layer knows.
  static std::unique_ptr<Dib> WrapInfo(const BITMAPINFO& info, const void* bits);

  ~Dib();
  Dib(const Dib&) = delete;
  Dib& operator=(const Dib&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  int64_t Stride() const { return stride_; }
  bool TopDown() const { return top_down_; }
  const DibFormat& Format() const { return format_; }
  DibFormat& Format() { return format_; }
  uint8_t* Bits() { return bits_; }
  const uint8_t* Bits() const { return bits_; }
  int64_t ByteSize() const { return stride_ * height_; }

  uint8_t* Row(int y) { return bits_ + stride_ * (top_down_ ? y : height_ - 1 - y); }
  const uint8_t* Row(int y) const { return bits_ + stride_ * (top_down_ ? y : height_ - 1 - y); }

  // A deep copy with the same format and orientation; nothing when memory runs out.
  std::unique_ptr<Dib> Clone() const;

  // Keeps only the rectangle, moving its rows down within the memory this Dib owns (the
  // rest of the block stays allocated): the result is laid out as a fresh Dib of that size,
  // padding and spare bits zero. Returns false, changing nothing, for memory it does not own
  // or a left edge inside a byte of packed pixels.
  bool CropInPlace(int left, int top, int width, int height);

 private:
  Dib(int width, int height, DibFormat format, bool top_down, uint8_t* bits, bool owned);

  int width_;
  int height_;
  int64_t stride_;
  bool top_down_;
  DibFormat format_;
  uint8_t* bits_;
  bool owned_;
};

// Pixel values: a colour-table index, a 0/1 monochrome bit, or the raw 16-, 24-
// (blue | green << 8 | red << 16) or 32-bit word.
void ReadPixelValues(const Dib& dib, int y, int x0, int count, uint32_t* out);
void WritePixelValues(Dib& dib, int y, int x0, int count, const uint32_t* values);

// The colour a pixel value shows. Monochrome values need the device context's colours
// and are not handled here.
COLORREF ValueToColour(const DibFormat& format, uint32_t value);
// The pixel value of the format nearest to a colour.
uint32_t ColourToValue(const DibFormat& format, COLORREF colour);
// The first colour-table entry nearest to a colour (squared distance over red, green, blue).
uint32_t NearestColourIndex(const RGBQUAD* colours, size_t count, COLORREF colour);
inline uint32_t NearestColourIndex(const std::vector<RGBQUAD>& colours, COLORREF colour) {
  return NearestColourIndex(colours.data(), colours.size(), colour);
}

// Same pixel layout and colours, so values can be copied unchanged.
bool SameLayout(const DibFormat& a, const DibFormat& b);

}  // namespace platform
