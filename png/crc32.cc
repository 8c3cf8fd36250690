#include "png/crc32.h"

#include <array>

namespace png {

namespace {

using CrcTable = std::array<uint32_t, 256>;

CrcTable BuildCrc32Table() {
  CrcTable table;
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k)
      c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

// Built on the first CRC of the process, so a run that never touches PNG never builds it.
const CrcTable& Crc32Table() {
  static const CrcTable table = BuildCrc32Table();
  return table;
}

}  // namespace

uint32_t Crc32Update(uint32_t crc, const uint8_t* bytes, int64_t count) {
  if (count <= 0) return crc;
  const CrcTable& table = Crc32Table();
  for (int64_t i = 0; i < count; ++i)
    crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}

}  // namespace png
