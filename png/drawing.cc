// Drawing with transparency, pixel access and the palette handle.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "platform/bitmap.h"
#include "platform/gdi.h"
#include "png/chunk_ihdr.h"
#include "png/chunk_plte.h"
#include "png/chunk_trns.h"
#include "png/exceptions.h"
#include "png/messages.h"
#include "png/png_object.h"

namespace png {

namespace {

using platform::COLORREF;
using platform::HBITMAP;
using platform::HDC;
using platform::HGDIOBJ;
using platform::RGBQUAD;

// A memory context with a bitmap of its own selected. When it goes, the context's first bitmap
// is put back and the bitmap and the context are deleted, also when a drawing step raised.
class MemorySurface {
 public:
  explicit MemorySurface(HDC reference) : dc_(platform::CreateCompatibleDC(reference)) {}
  ~MemorySurface() {
    if (bitmap_) {
      platform::SelectObject(dc_, previous_);
      platform::DeleteObject(bitmap_);
    }
    if (dc_) platform::DeleteDC(dc_);
  }
  MemorySurface(const MemorySurface&) = delete;
  MemorySurface& operator=(const MemorySurface&) = delete;

  // Takes the bitmap over and selects it; false when there is no bitmap.
  bool Adopt(HBITMAP bitmap) {
    if (!bitmap) return false;
    bitmap_ = bitmap;
    previous_ = platform::SelectObject(dc_, bitmap_);
    return true;
  }
  HDC Dc() const { return dc_; }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ previous_;
};

COLORREF ColourOf(const RGBQUAD& entry) {
  return platform::RGB(entry.rgbRed, entry.rgbGreen, entry.rgbBlue);
}

// A palette entry as GetEntry gives it (blue | green << 8 | red << 16).
RGBQUAD EntryFromPalette(uint32_t entry) {
  return RGBQUAD{static_cast<uint8_t>(entry), static_cast<uint8_t>(entry >> 8),
                 static_cast<uint8_t>(entry >> 16), 0};
}

// Where a pixel of d bits lies in an indexed row: the byte and the shift of its bits.
struct IndexedPosition {
  int64_t byte;
  int shift;
  uint8_t mask;
};

IndexedPosition PositionOf(int x, int bits) {
  const int per_byte = 8 / bits;
  return IndexedPosition{x / per_byte, 8 - bits - bits * (x % per_byte),
                         static_cast<uint8_t>((1u << bits) - 1)};
}

bool IsIndexedLayout(int bits) {
  return bits == 1 || bits == 4 || bits == 8;
}

// Opacity-weighted mix of one channel; exact for a = 255 (s) and a = 0 (d).
inline uint8_t Mix(uint32_t s, uint32_t a, uint32_t d) {
  return static_cast<uint8_t>((s * a + 255 + (255 - a) * d) >> 8);
}

template <int Bits>
void UnpackIndices(const uint8_t* row, int width, uint8_t* out) {
  constexpr int kPerByte = 8 / Bits;
  constexpr uint8_t kMask = (1u << Bits) - 1;
  for (int x = 0; x < width; ++x) {
    out[x] = (row[x / kPerByte] >> (8 - Bits - Bits * (x % kPerByte))) & kMask;
  }
}

using UnpackRow = void (*)(const uint8_t* row, int width, uint8_t* out);

UnpackRow UnpackerFor(int bits) {
  switch (bits) {
    case 1:
      return &UnpackIndices<1>;
    case 4:
      return &UnpackIndices<4>;
    default:
      return &UnpackIndices<8>;
  }
}

// Blends a row of 24-bit pixels (blue, green, red) into a row of the 32-bit section.
void BlendTrueColourRow(const uint8_t* pixels, const uint8_t* alpha, int width, uint8_t* out) {
  for (int x = 0; x < width; ++x, pixels += 3, out += 4) {
    const uint32_t a = alpha[x];
    out[0] = Mix(pixels[0], a, out[0]);
    out[1] = Mix(pixels[1], a, out[1]);
    out[2] = Mix(pixels[2], a, out[2]);
  }
}

void BlendIndexedRow(const uint8_t* indices, const RGBQUAD* colours, const uint8_t* alpha,
                     int width, uint8_t* out) {
  for (int x = 0; x < width; ++x, out += 4) {
    const RGBQUAD& s = colours[indices[x]];
    const uint32_t a = alpha[x];
    out[0] = Mix(s.rgbBlue, a, out[0]);
    out[1] = Mix(s.rgbGreen, a, out[1]);
    out[2] = Mix(s.rgbRed, a, out[2]);
  }
}

// The colours and opacities of an image's pixels, gathered once per image.
struct BlendSource {
  int bits = 0;  // 24, or 1, 4 or 8 for indices
  // Indexed: the colour of every index, and how many indices have one (an index at or above
  // raises, as the palette does).
  std::array<RGBQUAD, 256> colours{};
  int index_limit = 256;
  // The opacity per pixel (alpha plane), else per index (palette alphas), else opaque.
  const uint8_t* alpha_plane = nullptr;
  std::array<uint8_t, 256> index_alpha{};
};

BlendSource SourceFor(const TPNGObject& image, const TChunkIHDR& header) {
  BlendSource source;
  source.bits = header.BufferBitsPerPixel();
  source.alpha_plane = header.AlphaBuffer.get();
  source.index_alpha.fill(255);
  if (source.bits == 24 || !IsIndexedLayout(source.bits)) return source;
  if (header.ColourType != 3) {
    // Greyscale: the grey ramp, gamma-corrected, is what the pixels show.
    std::copy(header.BufferInfo.bmiColors, header.BufferInfo.bmiColors + 256,
              source.colours.begin());
    return source;
  }
  // Without a palette chunk no index has an entry: every pixel shows opaque black.
  if (const auto* palette = image.Chunks.FirstChunkOfClass<TChunkPLTE>()) {
    source.index_limit = std::clamp(palette->EntryCount, 0, 256);
    for (int i = 0; i < source.index_limit; ++i) {
      source.colours[i] = EntryFromPalette(palette->GetEntry(static_cast<uint8_t>(i)));
    }
    if (const auto* transparency = image.Chunks.FirstChunkOfClass<TChunktRNS>()) {
      source.index_alpha = transparency->TransparencyData;
    }
  }
  return source;
}

}  // namespace

void TPNGObject::Draw(platform::TCanvas& canvas, const platform::TRect& rect) {
  if (!HasImageHeader()) return;
  const TChunkIHDR& header = ImageHeader();
  switch (GetTransparencyKind()) {
    case TransparencyKind::ColourKey:
      DrawColourKeyed(canvas.Handle(), header.PixelBuffer, header.BufferInfo, rect,
                      platform::ColorToRGB(static_cast<platform::TColor>(GetKeyColour())));
      break;
    case TransparencyKind::Alpha:
      DrawAlphaBlended(canvas.Handle(), rect);
      break;
    case TransparencyKind::Opaque:
      platform::StretchDIBits(canvas.Handle(), rect.Left, rect.Top, rect.Width(), rect.Height(), 0,
                              0, Width(), Height(), header.PixelBuffer, &header.BufferInfo,
                              platform::DIB_RGB_COLORS, platform::SRCCOPY);
      break;
  }
}

void TPNGObject::DrawColourKeyed(HDC dc, const void* bits, const platform::BITMAPINFO& info,
                                 const platform::TRect& rect, COLORREF key_colour) {
  const int width = rect.Width();
  const int height = rect.Height();
  const int source_width = info.bmiHeader.biWidth;
  const int source_height = std::abs(info.bmiHeader.biHeight);
  if (bits == nullptr || width <= 0 || height <= 0 || source_width <= 0 || source_height <= 0) {
    return;
  }
  // The source in the display's colour format: the masks below blacken its key pixels, which
  // a bitmap in the image's own palette could not show if the palette has no black.
  MemorySurface source(dc);
  const HDC screen = platform::GetDC(nullptr);
  const bool have_source =
      source.Adopt(platform::CreateCompatibleBitmap(screen, source_width, source_height));
  platform::ReleaseDC(nullptr, screen);
  MemorySurface opaque_mask(dc);
  MemorySurface transparent_mask(dc);
  MemorySurface work(dc);
  if (!have_source || !opaque_mask.Adopt(platform::CreateBitmap(width, height, 1, 1, nullptr)) ||
      !transparent_mask.Adopt(platform::CreateBitmap(width, height, 1, 1, nullptr)) ||
      !work.Adopt(platform::CreateCompatibleBitmap(dc, width, height))) {
    return;
  }
  platform::StretchDIBits(source.Dc(), 0, 0, source_width, source_height, 0, 0, source_width,
                          source_height, bits, &info, platform::DIB_RGB_COLORS, platform::SRCCOPY);

  // Key-coloured pixels become 1 in the transparent mask, all others 1 in the opaque mask.
  const COLORREF background = platform::SetBkColor(source.Dc(), key_colour);
  platform::StretchBlt(transparent_mask.Dc(), 0, 0, width, height, source.Dc(), 0, 0, source_width,
                       source_height, platform::SRCCOPY);
  platform::SetBkColor(source.Dc(), background);
  platform::BitBlt(opaque_mask.Dc(), 0, 0, width, height, transparent_mask.Dc(), 0, 0,
                   platform::NOTSRCCOPY);

  // The background survives where the image is transparent; the image's key pixels turn black,
  // so OR-ing the image in leaves the background there.
  platform::BitBlt(work.Dc(), 0, 0, width, height, dc, rect.Left, rect.Top, platform::SRCCOPY);
  platform::BitBlt(work.Dc(), 0, 0, width, height, transparent_mask.Dc(), 0, 0, platform::SRCAND);
  platform::StretchBlt(source.Dc(), 0, 0, source_width, source_height, opaque_mask.Dc(), 0, 0,
                       width, height, platform::SRCAND);
  platform::StretchBlt(work.Dc(), 0, 0, width, height, source.Dc(), 0, 0, source_width,
                       source_height, platform::SRCPAINT);
  platform::BitBlt(dc, rect.Left, rect.Top, width, height, work.Dc(), 0, 0, platform::SRCCOPY);
}

void TPNGObject::DrawAlphaBlended(HDC dc, const platform::TRect& rect) {
  const TChunkIHDR& header = ImageHeader();
  const int width = Width();
  const int height = Height();
  if (header.PixelBuffer == nullptr || width <= 0 || height <= 0) return;
  const BlendSource source = SourceFor(*this, header);
  if (source.bits != 24 && !IsIndexedLayout(source.bits)) return;

  MemorySurface section(HDC{});
  if (!section.Dc()) RaisePngError<EPNGOutMemory>(kOutOfResources);
  platform::BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(platform::BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = platform::BI_RGB;
  void* memory = nullptr;
  const HBITMAP bitmap = platform::CreateDIBSection(section.Dc(), &info, platform::DIB_RGB_COLORS,
                                                    &memory, nullptr, 0);
  if (!bitmap || memory == nullptr) {
    if (bitmap) platform::DeleteObject(bitmap);
    RaisePngError<EPNGOutMemory>(kOutOfResources);
  }
  section.Adopt(bitmap);
  platform::StretchBlt(section.Dc(), 0, 0, width, height, dc, rect.Left, rect.Top, width, height,
                       platform::SRCCOPY);

  const size_t row_pixels = static_cast<size_t>(width);
  std::vector<uint8_t> indices(source.bits == 24 ? 0 : row_pixels);
  std::vector<uint8_t> opacity(source.alpha_plane != nullptr ? 0 : row_pixels, 255);
  const UnpackRow unpack = UnpackerFor(source.bits);
  // The buffer's rows are bottom-up: the top row is its last.
  const uint8_t* top_row = GetRowAddress(0);
  const int64_t stride = header.RowStride;
  uint8_t* out = static_cast<uint8_t*>(memory);
  const uint8_t* alpha = source.alpha_plane;
  for (int y = 0; y < height; ++y, out += 4 * row_pixels) {
    const uint8_t* row = top_row - stride * y;
    const uint8_t* row_alpha = opacity.data();
    if (alpha != nullptr) row_alpha = alpha + static_cast<int64_t>(y) * width;
    if (source.bits == 24) {
      BlendTrueColourRow(row, row_alpha, width, out);
      continue;
    }
    unpack(row, width, indices.data());
    for (size_t x = 0; x < row_pixels; ++x) {
      if (indices[x] >= source.index_limit) RaisePngError<EPngError>(kNoSuchPaletteEntry);
    }
    if (alpha == nullptr) {
      for (size_t x = 0; x < row_pixels; ++x)
        opacity[x] = source.index_alpha[indices[x]];
    }
    BlendIndexedRow(indices.data(), source.colours.data(), row_alpha, width, out);
  }
  platform::StretchBlt(dc, rect.Left, rect.Top, width, height, section.Dc(), 0, 0, width, height,
                       platform::SRCCOPY);
}

uint8_t* TPNGObject::GetRowAddress(int row) const {
  const TChunkIHDR& header = ImageHeader();
  if (header.PixelBuffer == nullptr) return nullptr;
  return header.PixelBuffer + static_cast<int64_t>(header.RowStride) * (Height() - 1 - row);
}

COLORREF TPNGObject::GetPixelColour(int x, int y) {
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return 0;
  const TChunkIHDR& header = ImageHeader();
  if (header.PixelBuffer == nullptr) return 0;
  switch (header.ColourType) {
    case 0:
    case 3:
    case 4:
      return GetIndexedPixel(x, y);
    case 2:
    case 6:
      return GetTrueColourPixel(x, y);
    default:
      return 0;
  }
}

void TPNGObject::SetPixelColour(int x, int y, COLORREF colour) {
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return;
  const TChunkIHDR& header = ImageHeader();
  if (header.PixelBuffer == nullptr) return;
  switch (header.ColourType) {
    case 0:
    case 3:
    case 4:
      SetIndexedPixel(x, y, colour);
      break;
    case 2:
    case 6:
      SetTrueColourPixel(x, y, colour);
      break;
    default:
      break;
  }
}

// Greyscale pixels, with or without alpha, show their entry of the grey ramp and indexed ones
// their palette entry; both are gamma-corrected already. Pixels lie where the buffer keeps
// them: 2-bit samples in 4 bits, 16-bit ones in 8.
COLORREF TPNGObject::GetIndexedPixel(int x, int y) {
  const TChunkIHDR& header = ImageHeader();
  const int bits = header.BufferBitsPerPixel();
  if (!IsIndexedLayout(bits)) return 0;
  const IndexedPosition at = PositionOf(x, bits);
  const uint8_t value = (GetRowAddress(y)[at.byte] >> at.shift) & at.mask;
  if (header.ColourType != 3) return ColourOf(header.BufferInfo.bmiColors[value]);
  const auto* palette = Chunks.FirstChunkOfClass<TChunkPLTE>();
  if (palette == nullptr) return 0;
  return ColourOf(EntryFromPalette(palette->GetEntry(value)));
}

void TPNGObject::SetIndexedPixel(int x, int y, COLORREF colour) {
  const TChunkIHDR& header = ImageHeader();
  const int bits = header.BufferBitsPerPixel();
  if (!IsIndexedLayout(bits)) return;
  // Only entries the pixel's bits can hold, and for a palette image only its entries.
  uint32_t usable = 1u << bits;
  if (header.ColourType == 3) {
    if (const auto* palette = Chunks.FirstChunkOfClass<TChunkPLTE>()) {
      usable = static_cast<uint32_t>(
          std::clamp<int32_t>(palette->EntryCount, 0, static_cast<int32_t>(usable)));
    }
  }
  if (usable == 0) return;
  const COLORREF wanted = platform::ColorToRGB(static_cast<platform::TColor>(colour));
  const platform::HPALETTE palette = GetPalette();
  uint32_t index = palette ? platform::GetNearestPaletteIndex(palette, wanted) : usable;
  if (index >= usable)
    index = platform::NearestColourIndex(header.BufferInfo.bmiColors, usable, wanted);
  const IndexedPosition at = PositionOf(x, bits);
  uint8_t& byte = GetRowAddress(y)[at.byte];
  byte = static_cast<uint8_t>((byte & ~(at.mask << at.shift)) | (index << at.shift));
}

COLORREF TPNGObject::GetTrueColourPixel(int x, int y) {
  const uint8_t* pixel = GetRowAddress(y) + 3 * static_cast<int64_t>(x);
  return platform::RGB(pixel[2], pixel[1], pixel[0]);
}

void TPNGObject::SetTrueColourPixel(int x, int y, COLORREF colour) {
  uint8_t* pixel = GetRowAddress(y) + 3 * static_cast<int64_t>(x);
  pixel[2] = platform::GetRValue(colour);
  pixel[1] = platform::GetGValue(colour);
  pixel[0] = platform::GetBValue(colour);
}

platform::HPALETTE TPNGObject::GetPalette() {
  const TChunkIHDR& header = ImageHeader();
  if ((header.ColourType == 0 || header.ColourType == 3) && !CachedPalette) {
    platform::LOGPALETTE description;
    description.palVersion = 0x300;
    description.palNumEntries = 256;
    for (int i = 0; i < 256; ++i) {
      const RGBQUAD& entry = header.BufferInfo.bmiColors[i];
      description.palPalEntry[i] =
          platform::PALETTEENTRY{entry.rgbRed, entry.rgbGreen, entry.rgbBlue, 0};
    }
    CachedPalette = platform::CreatePalette(&description);
  }
  return CachedPalette;
}

}  // namespace png
