// Red and blue swapped between the image buffer's blue-first pixels and PNG's red-first
// samples, many pixels at a step where the processor allows: one shuffle serves both ways.
#pragma once

#include <cstdint>

namespace png {

// Swaps the first and third byte of as many of the count 3-byte pixels as the fast path
// takes, from source into destination (not overlapping), and returns that number (0
// without SSSE3); the caller does the rest.
int32_t SwapRedBlue24(const uint8_t* source, uint8_t* destination, int32_t count);

// Splits 4-byte red-first pixels into blue-first colour and a plane of alpha the same way.
int32_t SplitRgbAlpha32(const uint8_t* source, uint8_t* colour, uint8_t* alpha, int32_t count);

}  // namespace png
