#include "tests/bmp_builder.h"

#include "platform/bytes.h"
#include "platform/dib.h"
#include "tests/fixture_dump.h"

namespace tests {

namespace {

bool WindowsV2OrLater(uint32_t size) {
  return size == 52 || size == 56 || size == 108 || size == 124;
}

void AppendLe32(std::vector<uint8_t>& out, uint32_t value) {
  const size_t at = out.size();
  out.resize(at + 4);
  platform::StoreLe32(out.data() + at, value);
}

}  // namespace

std::vector<uint8_t> BuildBmp(const BmpFixture& f) {
  std::vector<uint8_t> out(14 + size_t{f.header_size}, 0);
  // Stores a field only where the header has room for it.
  auto put32 = [&](size_t at, uint32_t value) {
    if (at + 4 <= f.header_size) platform::StoreLe32(out.data() + 14 + at, value);
  };
  auto put16 = [&](size_t at, uint16_t value) {
    if (at + 2 <= f.header_size) platform::StoreLe16(out.data() + 14 + at, value);
  };
  put32(0, f.header_size);
  if (f.header_size == 12) {
    put16(4, static_cast<uint16_t>(f.width));
    put16(6, static_cast<uint16_t>(f.height));
    put16(8, f.planes);
    put16(10, f.bits);
  } else {
    put32(4, static_cast<uint32_t>(f.width));
    put32(8, static_cast<uint32_t>(f.height));
    put16(12, f.planes);
    put16(14, f.bits);
    put32(16, f.compression);
    put32(24, static_cast<uint32_t>(f.x_pels_per_metre));
    put32(28, static_cast<uint32_t>(f.y_pels_per_metre));
    put32(32, f.colours_used);
  }
  size_t masks_inside = 0;
  if (WindowsV2OrLater(f.header_size)) {
    while (masks_inside < f.masks.size() && 40 + 4 * (masks_inside + 1) <= f.header_size) {
      put32(40 + 4 * masks_inside, f.masks[masks_inside]);
      ++masks_inside;
    }
  }

  for (size_t i = masks_inside; i < f.masks.size(); ++i)
    AppendLe32(out, f.masks[i]);
  for (const platform::RGBQUAD& c : f.colours) {
    out.push_back(c.rgbBlue);
    out.push_back(c.rgbGreen);
    out.push_back(c.rgbRed);
    if (f.header_size != 12) out.push_back(c.rgbReserved);
  }
  out.resize(out.size() + f.gap, 0xEE);
  const uint32_t offset = f.offset.value_or(static_cast<uint32_t>(out.size()));
  out.insert(out.end(), f.pixels.begin(), f.pixels.end());
  out[0] = 'B';
  out[1] = 'M';
  platform::StoreLe32(out.data() + 2, static_cast<uint32_t>(out.size()));
  platform::StoreLe32(out.data() + 10, offset);
  DumpFixture(".bmp", out);
  return out;
}

std::vector<uint8_t> PackRows(int bits, const std::vector<std::vector<uint32_t>>& rows) {
  std::vector<uint8_t> out;
  for (const std::vector<uint32_t>& row : rows) {
    const size_t stride = static_cast<size_t>(platform::DibStride(row.size(), bits));
    const size_t at = out.size();
    out.resize(at + stride, 0);
    uint8_t* p = out.data() + at;
    for (size_t x = 0; x < row.size(); ++x) {
      const uint32_t v = row[x];
      switch (bits) {
        case 1:
          p[x / 8] |= static_cast<uint8_t>((v & 1) << (7 - x % 8));
          break;
        case 4:
          p[x / 2] |= static_cast<uint8_t>((v & 15) << (x % 2 ? 0 : 4));
          break;
        default:
          for (int b = 0; b < bits / 8; ++b)
            p[x * (bits / 8) + b] = static_cast<uint8_t>(v >> (8 * b));
          break;
      }
    }
  }
  return out;
}

std::vector<platform::RGBQUAD> TestColours(int count) {
  std::vector<platform::RGBQUAD> colours(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    colours[i] = platform::RGBQUAD{static_cast<uint8_t>(i * 7), static_cast<uint8_t>(255 - i),
                                   static_cast<uint8_t>(i * 3 + 1), 0};
  }
  return colours;
}

}  // namespace tests
