#include "platform/dib.h"

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/pixel_memory.h"

namespace platform {

namespace {

// One colour channel of a masked pixel, widened or narrowed to 8 bits.
uint8_t ExpandChannel(uint32_t value, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int width = std::popcount(mask);
  uint32_t c = (value & mask) >> shift;
  if (width >= 8) return static_cast<uint8_t>(c >> (width - 8));
  // Replicate the high bits into the low ones, so the brightest value becomes 255.
  uint32_t out = 0;
  int filled = 0;
  while (filled < 8) {
    out = (out << width) | c;
    filled += width;
  }
  return static_cast<uint8_t>(out >> (filled - 8));
}

uint32_t NarrowChannel(uint8_t level, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int width = std::popcount(mask);
  uint32_t c = width >= 8 ? static_cast<uint32_t>(level) << (width - 8) : level >> (8 - width);
  return (c << shift) & mask;
}

}  // namespace

DibFormat DirectFormat(int bits) {
  DibFormat format;
  format.bits = bits;
  if (bits == 16) {
    format.red_mask = 0x7C00;
    format.green_mask = 0x03E0;
    format.blue_mask = 0x001F;
  } else {
    format.red_mask = 0xFF0000;
    format.green_mask = 0x00FF00;
    format.blue_mask = 0x0000FF;
  }
  return format;
}

DibFormat Rgb565Format() {
  DibFormat format;
  format.bits = 16;
  format.red_mask = 0xF800;
  format.green_mask = 0x07E0;
  format.blue_mask = 0x001F;
  format.bitfields = true;
  return format;
}

DibFormat IndexedFormat(int bits, std::vector<RGBQUAD> colours) {
  DibFormat format;
  format.bits = bits;
  format.colours = std::move(colours);
  return format;
}

DibFormat MonochromeFormat() {
  DibFormat format = IndexedFormat(1, {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}});
  format.monochrome = true;
  return format;
}

int64_t DibStride(int64_t width, int bits) {
  return (width * bits + 31) / 32 * 4;
}

Dib::Dib(int width, int height, DibFormat format, bool top_down, uint8_t* bits, bool owned)
    : width_(width),
      height_(height),
      stride_(DibStride(width, format.bits)),
      top_down_(top_down),
      format_(std::move(format)),
      bits_(bits),
      owned_(owned) {}

Dib::~Dib() {
  if (owned_) FreeDeleter()(bits_);
}

std::unique_ptr<Dib> Dib::Allocate(int width, int height, DibFormat format, bool top_down) {
  if (width <= 0 || height <= 0) return nullptr;
  const int64_t stride = DibStride(width, format.bits);
  if (stride > INT64_MAX / height) return nullptr;
  const int64_t size = stride * height;
  // Fresh zero pages for large blocks, so rows cost memory only once written.
  std::unique_ptr<uint8_t, FreeDeleter> memory = AllocateZeroedPixels(static_cast<size_t>(size));
  if (!memory) return nullptr;
  return std::unique_ptr<Dib>(
      new Dib(width, height, std::move(format), top_down, memory.release(), true));
}

bool Dib::CropInPlace(int left, int top, int width, int height) {
  const int bits = format_.bits;
  if (!owned_ || left < 0 || top < 0 || width <= 0 || height <= 0 || left > width_ - width ||
      top > height_ - height || (int64_t{left} * bits) % 8 != 0) {
    return false;
  }
  const int64_t stride = DibStride(width, bits);
  const int64_t used = (int64_t{width} * bits + 7) / 8;
  const int64_t offset = int64_t{left} * bits / 8;
  const auto spare_mask = static_cast<uint8_t>(
      (int64_t{width} * bits) % 8 == 0 ? 0xFF : 0xFF << (8 - (int64_t{width} * bits) % 8));
  // Every row moves to a lower address (or stays), so going up through memory never
  // overwrites a row still to be moved.
  for (int k = 0; k < height; ++k) {
    const int r = top_down_ ? k : height - 1 - k;  // row index from the top
    uint8_t* to = bits_ + stride * (top_down_ ? r : height - 1 - r);
    const uint8_t* from = Row(top + r) + offset;
    std::memmove(to, from, static_cast<size_t>(used));
    to[used - 1] &= spare_mask;
    std::memset(to + used, 0, static_cast<size_t>(stride - used));
  }
  width_ = width;
  height_ = height;
  stride_ = stride;
  return true;
}

std::unique_ptr<Dib> Dib::Wrap(int width, int height, DibFormat format, bool top_down,
                               uint8_t* bits) {
  if (width <= 0 || height <= 0 || bits == nullptr) return nullptr;
  return std::unique_ptr<Dib>(new Dib(width, height, std::move(format), top_down, bits, false));
}

std::unique_ptr<Dib> Dib::WrapInfo(const BITMAPINFO& info, const void* bits) {
  const BITMAPINFOHEADER& header = info.bmiHeader;
  const int width = header.biWidth;
  const int64_t height = header.biHeight < 0 ? -static_cast<int64_t>(header.biHeight)
                                             : static_cast<int64_t>(header.biHeight);
  if (width <= 0 || height <= 0 || height > INT32_MAX) return nullptr;
  DibFormat format;
  switch (header.biBitCount) {
    case 1:
    case 4:
    case 8: {
      if (header.biCompression != BI_RGB) return nullptr;
      const uint32_t full = 1u << header.biBitCount;
      const uint32_t used =
          header.biClrUsed == 0 || header.biClrUsed > full ? full : header.biClrUsed;
      format = IndexedFormat(header.biBitCount,
                             std::vector<RGBQUAD>(info.bmiColors, info.bmiColors + used));
      break;
    }
    case 16:
    case 24:
    case 32:
      format = DirectFormat(header.biBitCount);
      if (header.biCompression == BI_BITFIELDS && header.biBitCount != 24) {
        uint32_t masks[3];
        std::memcpy(masks, info.bmiColors, sizeof masks);
        format.red_mask = masks[0];
        format.green_mask = masks[1];
        format.blue_mask = masks[2];
        format.bitfields = true;
      } else if (header.biCompression != BI_RGB) {
        return nullptr;
      }
      break;
    default:
      return nullptr;
  }
  return Wrap(width, static_cast<int>(height), std::move(format), header.biHeight < 0,
              static_cast<uint8_t*>(const_cast<void*>(bits)));
}

std::unique_ptr<Dib> Dib::Clone() const {
  auto copy = Allocate(width_, height_, format_, top_down_);
  if (copy) std::memcpy(copy->bits_, bits_, static_cast<size_t>(ByteSize()));
  return copy;
}

void ReadPixelValues(const Dib& dib, int y, int x0, int count, uint32_t* out) {
  const uint8_t* row = dib.Row(y);
  switch (dib.Format().bits) {
    case 1:
      for (int i = 0; i < count; ++i) {
        const int x = x0 + i;
        out[i] = (row[x >> 3] >> (7 - (x & 7))) & 1;
      }
      break;
    case 4:
      for (int i = 0; i < count; ++i) {
        const int x = x0 + i;
        out[i] = (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
      }
      break;
    case 8:
      for (int i = 0; i < count; ++i)
        out[i] = row[x0 + i];
      break;
    case 16:
      for (int i = 0; i < count; ++i) {
        const uint8_t* p = row + 2 * static_cast<int64_t>(x0 + i);
        out[i] = static_cast<uint32_t>(p[0] | (p[1] << 8));
      }
      break;
    case 24:
      for (int i = 0; i < count; ++i) {
        const uint8_t* p = row + 3 * static_cast<int64_t>(x0 + i);
        out[i] = static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
      }
      break;
    case 32:
      std::memcpy(out, row + 4 * static_cast<int64_t>(x0), 4 * static_cast<size_t>(count));
      break;
  }
}

void WritePixelValues(Dib& dib, int y, int x0, int count, const uint32_t* values) {
  uint8_t* row = dib.Row(y);
  switch (dib.Format().bits) {
    case 1:
      for (int i = 0; i < count; ++i) {
        const int x = x0 + i;
        const int shift = 7 - (x & 7);
        row[x >> 3] =
            static_cast<uint8_t>((row[x >> 3] & ~(1 << shift)) | ((values[i] & 1) << shift));
      }
      break;
    case 4:
      for (int i = 0; i < count; ++i) {
        const int x = x0 + i;
        const int shift = (x & 1) ? 0 : 4;
        row[x >> 1] =
            static_cast<uint8_t>((row[x >> 1] & ~(15 << shift)) | ((values[i] & 15) << shift));
      }
      break;
    case 8:
      for (int i = 0; i < count; ++i)
        row[x0 + i] = static_cast<uint8_t>(values[i]);
      break;
    case 16:
      for (int i = 0; i < count; ++i) {
        uint8_t* p = row + 2 * static_cast<int64_t>(x0 + i);
        p[0] = static_cast<uint8_t>(values[i]);
        p[1] = static_cast<uint8_t>(values[i] >> 8);
      }
      break;
    case 24:
      for (int i = 0; i < count; ++i) {
        uint8_t* p = row + 3 * static_cast<int64_t>(x0 + i);
        p[0] = static_cast<uint8_t>(values[i]);
        p[1] = static_cast<uint8_t>(values[i] >> 8);
        p[2] = static_cast<uint8_t>(values[i] >> 16);
      }
      break;
    case 32:
      std::memcpy(row + 4 * static_cast<int64_t>(x0), values, 4 * static_cast<size_t>(count));
      break;
  }
}

COLORREF ValueToColour(const DibFormat& format, uint32_t value) {
  if (format.Indexed()) {
    if (value >= format.colours.size()) return 0;
    const RGBQUAD& entry = format.colours[value];
    return RGB(entry.rgbRed, entry.rgbGreen, entry.rgbBlue);
  }
  return RGB(ExpandChannel(value, format.red_mask), ExpandChannel(value, format.green_mask),
             ExpandChannel(value, format.blue_mask));
}

uint32_t NearestColourIndex(const RGBQUAD* colours, size_t count, COLORREF colour) {
  const int red = GetRValue(colour);
  const int green = GetGValue(colour);
  const int blue = GetBValue(colour);
  uint32_t best = 0;
  int best_distance = 1 << 30;
  for (uint32_t i = 0; i < count; ++i) {
    const int dr = colours[i].rgbRed - red;
    const int dg = colours[i].rgbGreen - green;
    const int db = colours[i].rgbBlue - blue;
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < best_distance) {
      best_distance = distance;
      best = i;
      if (distance == 0) break;
    }
  }
  return best;
}

uint32_t ColourToValue(const DibFormat& format, COLORREF colour) {
  if (format.Indexed()) return NearestColourIndex(format.colours, colour);
  return NarrowChannel(GetRValue(colour), format.red_mask) |
         NarrowChannel(GetGValue(colour), format.green_mask) |
         NarrowChannel(GetBValue(colour), format.blue_mask);
}

bool SameLayout(const DibFormat& a, const DibFormat& b) {
  if (a.bits != b.bits || a.monochrome != b.monochrome) return false;
  if (a.Indexed()) return a.monochrome || a.colours == b.colours;
  return a.red_mask == b.red_mask && a.green_mask == b.green_mask && a.blue_mask == b.blue_mask;
}

}  // namespace platform
