// The pixel engine behind BitBlt, StretchBlt and StretchDIBits.
#pragma once

#include <cstdint>

#include "platform/dib.h"

namespace platform {

// One side of a blit: a bitmap with the colours of the device context it is selected into.
struct BlitSurface {
  Dib* dib = nullptr;
  COLORREF background = 0xFFFFFF;
  COLORREF text = 0x000000;
};

struct BlitRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// Copies source onto dest with nearest-pixel scaling (each destination pixel shows the source
// pixel under its centre) and a raster operation (SRCCOPY, SRCAND, SRCPAINT or NOTSRCCOPY),
// clipped to both bitmaps. Colours convert between formats; monochrome bitmaps take their
// colours from the device contexts as in Win32. On indexed destinations the raster operations
// combine colours and store the nearest entry.
// Returns false for an operation this layer does not know.
bool StretchPixels(const BlitSurface& dest, const BlitRect& to, const BlitSurface& source,
                   const BlitRect& from, uint32_t rop);

}  // namespace platform
