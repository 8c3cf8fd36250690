#include "png/crc32.h"

#include <zlib.h>

namespace png {

uint32_t Crc32Update(uint32_t crc, const uint8_t* bytes, int64_t count) {
  // zlib's CRC-32 is PNG's, with the register's pre- and post-inversion built in; its
  // word-at-a-time loop is several times faster than a byte-wise table walk.
  if (count <= 0) return crc;
  const uLong value = crc32_z(crc ^ 0xFFFFFFFFu, bytes, static_cast<z_size_t>(count));
  return static_cast<uint32_t>(value) ^ 0xFFFFFFFFu;
}

}  // namespace png
