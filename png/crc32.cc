#include "png/crc32.h"

#include <zlib.h>

#include <algorithm>

namespace png {

uint32_t Crc32Update(uint32_t crc, const uint8_t* bytes, int64_t count) {
  // zlib's CRC-32 is PNG's, with the register's pre- and post-inversion built in; its
  // word-at-a-time loop is several times faster than a byte-wise table walk.
  uLong value = crc ^ 0xFFFFFFFFu;
  while (count > 0) {
    const int64_t piece = std::min<int64_t>(count, INT32_MAX);
    value = crc32_z(value, bytes, static_cast<z_size_t>(piece));
    bytes += piece;
    count -= piece;
  }
  return static_cast<uint32_t>(value) ^ 0xFFFFFFFFu;
}

}  // namespace png
