#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/bmp.h"
#include "platform/bytes.h"

namespace platform {

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;

bool Rgb555(const DibFormat& format) {
  return format.red_mask == 0x7C00 && format.green_mask == 0x03E0 && format.blue_mask == 0x001F;
}

// BMP size fields are 32 bits; readers take 0 as "not recorded".
uint32_t SizeField(int64_t size) {
  return size <= UINT32_MAX ? static_cast<uint32_t>(size) : 0;
}

}  // namespace

void WriteBmp(TStream& stream, const Dib& dib, const BmpResolution& resolution) {
  const DibFormat& format = dib.Format();
  const bool masks =
      (format.bits == 16 && !Rgb555(format)) || (format.bits == 32 && format.bitfields);
  std::vector<RGBQUAD> table;
  uint32_t colours_used = 0;
  if (format.Indexed()) {
    const size_t full = size_t{1} << format.bits;
    table.assign(format.colours.begin(),
                 format.colours.begin() + std::min(format.colours.size(), full));
    if (table.empty()) {
      // No table at all would mean a full one to readers; an all-black one shows the same.
      table.resize(full);
    } else if (table.size() < full) {
      colours_used = static_cast<uint32_t>(table.size());
    }
  }

  const uint32_t offset = kFileHeaderSize + kInfoHeaderSize + (masks ? 12 : 0) +
                          static_cast<uint32_t>(table.size()) * 4;
  const int64_t image_size = dib.ByteSize();
  std::vector<uint8_t> head(offset, 0);
  uint8_t* p = head.data();
  p[0] = 'B';
  p[1] = 'M';
  StoreLe32(p + 2, SizeField(offset + image_size));
  StoreLe32(p + 10, offset);
  p += kFileHeaderSize;
  StoreLe32(p, kInfoHeaderSize);
  StoreLe32(p + 4, static_cast<uint32_t>(dib.Width()));
  StoreLe32(p + 8, static_cast<uint32_t>(dib.Height()));
  StoreLe16(p + 12, 1);
  StoreLe16(p + 14, static_cast<uint16_t>(format.bits));
  StoreLe32(p + 16, masks ? BI_BITFIELDS : BI_RGB);
  StoreLe32(p + 20, SizeField(image_size));
  StoreLe32(p + 24, static_cast<uint32_t>(resolution.x_pels_per_metre));
  StoreLe32(p + 28, static_cast<uint32_t>(resolution.y_pels_per_metre));
  StoreLe32(p + 32, colours_used);
  p += kInfoHeaderSize;
  if (masks) {
    StoreLe32(p, format.red_mask);
    StoreLe32(p + 4, format.green_mask);
    StoreLe32(p + 8, format.blue_mask);
    p += 12;
  }
  for (const RGBQUAD& entry : table) {
    p[0] = entry.rgbBlue;
    p[1] = entry.rgbGreen;
    p[2] = entry.rgbRed;
    p += 4;
  }
  stream.WriteBuffer(head.data(), offset);

  if (!dib.TopDown()) {
    stream.WriteBuffer(dib.Bits(), image_size);
    return;
  }
  for (int y = dib.Height() - 1; y >= 0; --y)
    stream.WriteBuffer(dib.Row(y), dib.Stride());
}

}  // namespace platform
