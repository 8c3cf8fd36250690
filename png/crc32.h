// The CRC-32 of PNG chunks and the byte-order helpers of PNG files.
#pragma once

#include <cstdint>

namespace png {

// Continues a CRC over count bytes (nothing for a count of 0 or less). A chunk's CRC starts
// from 0xFFFFFFFF and is XORed with 0xFFFFFFFF at the end.
uint32_t Crc32Update(uint32_t crc, const uint8_t* bytes, int64_t count);

inline uint32_t SwapBytes32(uint32_t value) {
  return (value >> 24) | ((value >> 8) & 0xFF00) | ((value << 8) & 0xFF0000) | (value << 24);
}

// The low two bytes in reverse order; the upper half of the input is dropped.
inline uint16_t SwapBytes16(uint32_t value) {
  return static_cast<uint16_t>(((value >> 8) & 0xFF) | ((value & 0xFF) << 8));
}

}  // namespace png
