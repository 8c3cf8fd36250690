// The border rule: which rows and columns of a bitmap are uniform border, and the crop to
// the rest.
#pragma once

#include <cstdint>

#include "platform/bitmap.h"

namespace trim {

// Inclusive bounds of the rows and columns that hold content. A scan that finds no content
// leaves right < left or bottom < top.
struct ContentBox {
  int left = 0;
  int top = 0;
  int right = -1;
  int bottom = -1;
  friend bool operator==(const ContentBox&, const ContentBox&) = default;
};

// The run of equal neighbouring pixels that makes a line of n pixels border: floor(9n / 10).
int64_t RunThreshold(int64_t n);

// A line is content unless it holds a run of at least RunThreshold(length) pixels of one
// colour (red, green and blue compared; palette indices and alpha never are). Lines
// outside the bitmap and lines shorter than 2 pixels are border.
bool RowHasContent(platform::TBitmap& bitmap, int y);
bool ColumnHasContent(platform::TBitmap& bitmap, int x);

// Peels border rows from the top, then the bottom, and border columns from the left, then
// the right, stopping at the first content line from each side.
ContentBox FindContentBox(platform::TBitmap& bitmap);

// Copies the box of source into dest, in the source's pixel format and colour table with
// its resolution, and gives the result back to source. The box must lie inside source with
// right >= left and bottom >= top. A source of pixel format pfCustom raises EInvalidGraphic
// and stays as it was.
void CropToBox(platform::TBitmap& source, platform::TBitmap& dest, const ContentBox& box);

}  // namespace trim
