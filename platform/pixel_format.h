// Pixel formats as the graphics classes name them, and their default colour tables.
#pragma once

#include <vector>

#include "platform/dib.h"

namespace platform {

enum TPixelFormat {
  pfDevice,
  pf1bit,
  pf4bit,
  pf8bit,
  pf15bit,
  pf16bit,
  pf24bit,
  pf32bit,
  pfCustom
};

// How the platform classes a layout: 5-5-5 is pf15bit, 5-6-5 pf16bit, any other 16-bit
// layout and any 32-bit bit-field layout pfCustom.
TPixelFormat PixelFormatOf(const DibFormat& format);
// The layout a new bitmap of that format gets, with its default colour table; pfDevice
// means 32 bits per pixel. pfCustom has none and must not be asked for.
DibFormat LayoutOf(TPixelFormat format);
// Black and white for 1 bit, the 16 standard colours for 4 bits, the halftone palette for 8.
std::vector<RGBQUAD> DefaultColourTable(int bits);

}  // namespace platform
