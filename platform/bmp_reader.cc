#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/bmp.h"
#include "platform/bytes.h"
#include "platform/exception.h"

namespace platform {

namespace {

constexpr int64_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kV2HeaderSize = 52;
constexpr uint32_t kV3HeaderSize = 56;
constexpr uint32_t kV4HeaderSize = 108;
constexpr uint32_t kV5HeaderSize = 124;
constexpr uint32_t kMinOs2HeaderSize = 16;
constexpr uint32_t kMaxOs2HeaderSize = 64;
constexpr uint32_t kMaxColours = 256;
// RLE data legitimately expands (a 4-byte delta skips thousands of pixels, end-of-bitmap
// leaves the rest blank), so the file size cannot bound the image exactly. Beyond a size any
// real picture may have with little data, an image needs a byte of data per
// kMaxRlePixelsPerByte pixels, so a tiny file cannot claim a huge blank picture; no image
// exceeds kMaxRlePixels.
constexpr int64_t kMaxRlePixels = int64_t{1} << 28;   // 256 megapixels
constexpr int64_t kFreeRlePixels = int64_t{1} << 24;  // 16 megapixels
constexpr int64_t kMaxRlePixelsPerByte = 1024;
constexpr int64_t kRleChunkSize = 64 * 1024;

enum class HeaderKind { kCore, kOs2, kWindows };

struct BmpHeader {
  HeaderKind kind = HeaderKind::kWindows;
  uint32_t size = 0;
  int64_t width = 0;
  int64_t height = 0;  // as stored: negative for top-down rows
  int planes = 0;
  int bits = 0;
  uint32_t compression = BI_RGB;
  int32_t x_pels_per_metre = 0;
  int32_t y_pels_per_metre = 0;
  uint32_t colours_used = 0;
};

// Short data is a truncated file, not a failing device.
void ReadExactly(TStream& stream, void* buffer, int64_t count) {
  if (count > 0 && stream.Read(buffer, count) != count) RaiseInvalidBitmap();
}

HeaderKind KindOfHeaderSize(uint32_t size) {
  switch (size) {
    case kCoreHeaderSize:
      return HeaderKind::kCore;
    case kInfoHeaderSize:
    case kV2HeaderSize:
    case kV3HeaderSize:
    case kV4HeaderSize:
    case kV5HeaderSize:
      return HeaderKind::kWindows;
    default:
      if (size >= kMinOs2HeaderSize && size <= kMaxOs2HeaderSize) return HeaderKind::kOs2;
      RaiseInvalidBitmap();
  }
}

// Reads the information header; fields an OS/2 2.x header leaves out read as zero.
BmpHeader ReadInfoHeader(TStream& stream, uint8_t (&bytes)[kV5HeaderSize]) {
  ReadExactly(stream, bytes, 4);
  BmpHeader header;
  header.size = LoadLe32(bytes);
  header.kind = KindOfHeaderSize(header.size);
  ReadExactly(stream, bytes + 4, header.size - 4);
  if (header.kind == HeaderKind::kCore) {
    header.width = LoadLe16(bytes + 4);
    header.height = LoadLe16(bytes + 6);
    header.planes = LoadLe16(bytes + 8);
    header.bits = LoadLe16(bytes + 10);
    return header;
  }
  header.width = static_cast<int32_t>(LoadLe32(bytes + 4));
  header.height = static_cast<int32_t>(LoadLe32(bytes + 8));
  header.planes = LoadLe16(bytes + 12);
  header.bits = LoadLe16(bytes + 14);
  header.compression = LoadLe32(bytes + 16);
  header.x_pels_per_metre = static_cast<int32_t>(LoadLe32(bytes + 24));
  header.y_pels_per_metre = static_cast<int32_t>(LoadLe32(bytes + 28));
  header.colours_used = LoadLe32(bytes + 32);
  return header;
}

bool Bitfields(uint32_t compression) {
  return compression == BI_BITFIELDS || compression == BI_ALPHABITFIELDS;
}

// Compression values mean other things in OS/2 headers (3 is Huffman 1D, 4 is RLE24), and
// JPEG or PNG data is not a bitmap this layer decodes.
void CheckCompression(const BmpHeader& header) {
  const int bits = header.bits;
  bool fits = false;
  switch (header.compression) {
    case BI_RGB:
      fits = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
      break;
    case BI_RLE8:
      fits = bits == 8 && header.height > 0;
      break;
    case BI_RLE4:
      fits = bits == 4 && header.height > 0;
      break;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS:
      fits = header.kind == HeaderKind::kWindows && (bits == 16 || bits == 32);
      break;
    default:
      break;
  }
  if (!fits) RaiseInvalidBitmap();
}

bool Contiguous(uint32_t mask) {
  const uint32_t run = mask >> std::countr_zero(mask);
  return (run & (run + 1)) == 0;
}

// Colour masks must be present; every mask (alpha may be absent) must be one run of bits
// inside the pixel, and no two may share a bit.
void CheckMasks(const DibFormat& format) {
  if (format.red_mask == 0 || format.green_mask == 0 || format.blue_mask == 0) {
    RaiseInvalidBitmap();
  }
  const uint32_t pixel_bits = format.bits == 16 ? 0xFFFFu : 0xFFFFFFFFu;
  uint32_t used = 0;
  for (uint32_t mask : {format.red_mask, format.green_mask, format.blue_mask, format.alpha_mask}) {
    if (mask == 0) continue;
    if ((mask & ~pixel_bits) != 0 || (mask & used) != 0 || !Contiguous(mask)) {
      RaiseInvalidBitmap();
    }
    used |= mask;
  }
}

// RLE data handed out byte by byte from chunks of the stream; running out of data before
// the end-of-bitmap code means the file was cut short.
class RleSource {
 public:
  RleSource(TStream& stream, int64_t length) : stream_(stream), left_(length) {
    buffer_.resize(static_cast<size_t>(std::min(length, kRleChunkSize)));
  }

  uint8_t Next() {
    if (position_ == end_) Refill();
    return buffer_[position_++];
  }

 private:
  void Refill() {
    if (left_ == 0) RaiseInvalidBitmap();
    const int64_t count = std::min<int64_t>(left_, static_cast<int64_t>(buffer_.size()));
    ReadExactly(stream_, buffer_.data(), count);
    left_ -= count;
    position_ = 0;
    end_ = static_cast<size_t>(count);
  }

  TStream& stream_;
  int64_t left_;
  std::vector<uint8_t> buffer_;
  size_t position_ = 0;
  size_t end_ = 0;
};

template <int kBits>
void SetPixel(uint8_t* row, int64_t x, uint8_t value) {
  if constexpr (kBits == 8) {
    row[x] = value;
  } else {
    const int shift = (x & 1) ? 0 : 4;
    row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & ~(0xF << shift)) | ((value & 0xF) << shift));
  }
}

// Decodes RLE8 or RLE4 data into a bottom-up bitmap. Codes that would leave the bitmap raise;
// pixels the codes skip stay 0.
template <int kBits>
void DecodeRle(RleSource& source, Dib& dib) {
  const int64_t width = dib.Width();
  const int64_t height = dib.Height();
  int64_t x = 0;
  int64_t y = 0;  // counted from the bottom row, as the data runs
  uint8_t literal[256];
  for (;;) {
    const uint8_t count = source.Next();
    const uint8_t value = source.Next();
    if (count > 0) {
      if (y >= height || x + count > width) RaiseInvalidBitmap();
      uint8_t* row = dib.Bits() + dib.Stride() * y;
      if constexpr (kBits == 8) {
        std::memset(row + x, value, count);
      } else {
        const uint8_t pair[2] = {static_cast<uint8_t>(value >> 4), static_cast<uint8_t>(value)};
        for (int i = 0; i < count; ++i)
          SetPixel<4>(row, x + i, pair[i & 1]);
      }
      x += count;
      continue;
    }
    switch (value) {
      case 0:  // end of line
        if (y >= height) RaiseInvalidBitmap();
        x = 0;
        ++y;
        break;
      case 1:  // end of bitmap
        return;
      case 2: {  // delta
        x += source.Next();
        y += source.Next();
        if (x > width || y >= height) RaiseInvalidBitmap();
        break;
      }
      default: {  // absolute run, padded to a 16-bit boundary
        const int pixels = value;
        if (y >= height || x + pixels > width) RaiseInvalidBitmap();
        const int bytes = kBits == 8 ? pixels : (pixels + 1) / 2;
        for (int i = 0; i < bytes; ++i)
          literal[i] = source.Next();
        if (bytes & 1) source.Next();
        uint8_t* row = dib.Bits() + dib.Stride() * y;
        if constexpr (kBits == 8) {
          std::memcpy(row + x, literal, static_cast<size_t>(pixels));
        } else {
          for (int i = 0; i < pixels; ++i) {
            const uint8_t byte = literal[i >> 1];
            SetPixel<4>(row, x + i, (i & 1) ? byte : static_cast<uint8_t>(byte >> 4));
          }
        }
        x += pixels;
        break;
      }
    }
  }
}

}  // namespace

std::unique_ptr<Dib> ReadBmp(TStream& stream, BmpResolution* resolution) {
  const int64_t base = stream.Position();
  const int64_t available = stream.Size() - base;

  uint8_t file_header[kFileHeaderSize];
  ReadExactly(stream, file_header, kFileHeaderSize);
  if (file_header[0] != 'B' || file_header[1] != 'M') RaiseInvalidBitmap();
  const int64_t pixel_offset = LoadLe32(file_header + 10);

  uint8_t info[kV5HeaderSize] = {};
  const BmpHeader header = ReadInfoHeader(stream, info);
  if (header.planes != 1) RaiseInvalidBitmap();
  // The height INT32_MIN has no positive counterpart a Dib could take.
  if (header.width <= 0 || header.height == 0 || header.height == INT32_MIN) {
    RaiseInvalidBitmap();
  }
  CheckCompression(header);
  const bool top_down = header.height < 0;
  const int width = static_cast<int>(header.width);
  const int height = static_cast<int>(top_down ? -header.height : header.height);
  int64_t data_start = kFileHeaderSize + header.size;

  DibFormat format;
  if (header.bits <= 8) {
    const uint32_t full = 1u << header.bits;
    if (header.colours_used > kMaxColours) RaiseInvalidBitmap();
    const uint32_t count = header.colours_used != 0 ? header.colours_used : full;
    const int entry_size = header.kind == HeaderKind::kCore ? 3 : 4;
    uint8_t table[kMaxColours * 4];
    ReadExactly(stream, table, int64_t{count} * entry_size);
    data_start += int64_t{count} * entry_size;
    // Entries past the depth's reach are never shown.
    std::vector<RGBQUAD> colours(std::min(count, full));
    for (size_t i = 0; i < colours.size(); ++i) {
      const uint8_t* entry = table + i * entry_size;
      colours[i] = RGBQUAD{entry[0], entry[1], entry[2], 0};
    }
    format = IndexedFormat(header.bits, std::move(colours));
  } else if (Bitfields(header.compression)) {
    // Masks the header has no room for follow it; V3 and later headers carry alpha as well.
    const uint32_t in_header = std::min<uint32_t>((header.size - kInfoHeaderSize) / 4, 4);
    const uint32_t needed = header.compression == BI_ALPHABITFIELDS ? 4 : 3;
    if (needed > in_header) {
      ReadExactly(stream, info + header.size, int64_t{needed - in_header} * 4);
      data_start += int64_t{needed - in_header} * 4;
    }
    format = DirectFormat(header.bits);
    format.red_mask = LoadLe32(info + 40);
    format.green_mask = LoadLe32(info + 44);
    format.blue_mask = LoadLe32(info + 48);
    format.alpha_mask = LoadLe32(info + 52);
    format.bitfields = true;
    CheckMasks(format);
  } else {
    format = DirectFormat(header.bits);
  }

  if (pixel_offset < data_start || pixel_offset > available) RaiseInvalidBitmap();
  const int64_t data_size = available - pixel_offset;
  const bool rle = header.compression == BI_RLE8 || header.compression == BI_RLE4;
  if (rle) {
    const int64_t pixels = int64_t{width} * height;
    if (pixels > kMaxRlePixels) RaiseInvalidBitmap();
    if (pixels > kFreeRlePixels && pixels / kMaxRlePixelsPerByte > data_size) RaiseInvalidBitmap();
  } else if (DibStride(width, header.bits) > data_size / height) {
    RaiseInvalidBitmap();
  }

  auto dib = Dib::Allocate(width, height, std::move(format), top_down);
  if (!dib) RaiseOutOfMemory();
  stream.SetPosition(base + pixel_offset);
  if (header.compression == BI_RLE8) {
    RleSource source(stream, data_size);
    DecodeRle<8>(source, *dib);
  } else if (header.compression == BI_RLE4) {
    RleSource source(stream, data_size);
    DecodeRle<4>(source, *dib);
  } else {
    // Rows are kept in the file's order, so the pixel block is one read.
    ReadExactly(stream, dib->Bits(), dib->ByteSize());
  }

  if (resolution != nullptr) {
    resolution->x_pels_per_metre = header.x_pels_per_metre;
    resolution->y_pels_per_metre = header.y_pels_per_metre;
  }
  return dib;
}

}  // namespace platform
