// Undoing the PNG row filters: the decoder's innermost loop, so each filter has a loop per
// pixel size, working a whole pixel at a time in vector registers where the machine has them.
#pragma once

#include <cstdint>

namespace png {

// Undoes filter type on the size bytes of row in place, against prior (the row above,
// unfiltered; all zeros for the first row of an image or pass). stride is the bytes per
// complete pixel, at least 1. Types PNG does not define leave the row as stored.
void UnfilterRow(uint8_t type, uint8_t* row, const uint8_t* prior, int32_t size, int32_t stride);

}  // namespace png
