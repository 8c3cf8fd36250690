#include "platform/pixel_format.h"

#include "platform/exception.h"

namespace platform {

namespace {

constexpr RGBQUAD Entry(uint8_t red, uint8_t green, uint8_t blue) {
  return RGBQUAD{blue, green, red, 0};
}

// The 16 colours of the classic VGA set, in their usual order.
constexpr RGBQUAD kStandardColours[16] = {
    Entry(0, 0, 0),       Entry(128, 0, 0),   Entry(0, 128, 0),   Entry(128, 128, 0),
    Entry(0, 0, 128),     Entry(128, 0, 128), Entry(0, 128, 128), Entry(192, 192, 192),
    Entry(128, 128, 128), Entry(255, 0, 0),   Entry(0, 255, 0),   Entry(255, 255, 0),
    Entry(0, 0, 255),     Entry(255, 0, 255), Entry(0, 255, 255), Entry(255, 255, 255)};

// The 16 standard colours, a 6 x 6 x 6 colour cube and 24 greys: 256 entries.
std::vector<RGBQUAD> HalftonePalette() {
  std::vector<RGBQUAD> table(kStandardColours, kStandardColours + 16);
  for (int red = 0; red < 6; ++red) {
    for (int green = 0; green < 6; ++green) {
      for (int blue = 0; blue < 6; ++blue) {
        table.push_back(Entry(static_cast<uint8_t>(red * 51), static_cast<uint8_t>(green * 51),
                              static_cast<uint8_t>(blue * 51)));
      }
    }
  }
  // Greys 5, 15, ... 235 fall between the cube's levels and the standard greys.
  for (int i = 0; i < 24; ++i) {
    const uint8_t grey = static_cast<uint8_t>(5 + 10 * i);
    table.push_back(Entry(grey, grey, grey));
  }
  return table;
}

}  // namespace

std::vector<RGBQUAD> DefaultColourTable(int bits) {
  switch (bits) {
    case 1:
      return {Entry(0, 0, 0), Entry(255, 255, 255)};
    case 4:
      return std::vector<RGBQUAD>(kStandardColours, kStandardColours + 16);
    case 8: {
      static const std::vector<RGBQUAD> halftone = HalftonePalette();
      return halftone;
    }
    default:
      return {};
  }
}

TPixelFormat PixelFormatOf(const DibFormat& format) {
  switch (format.bits) {
    case 1:
      return pf1bit;
    case 4:
      return pf4bit;
    case 8:
      return pf8bit;
    case 16:
      if (format.alpha_mask == 0 && format.red_mask == 0x7C00 && format.green_mask == 0x03E0 &&
          format.blue_mask == 0x001F) {
        return pf15bit;
      }
      if (format.alpha_mask == 0 && format.red_mask == 0xF800 && format.green_mask == 0x07E0 &&
          format.blue_mask == 0x001F) {
        return pf16bit;
      }
      return pfCustom;
    case 24:
      return pf24bit;
    case 32:
      return format.bitfields ? pfCustom : pf32bit;
    default:
      return pfCustom;
  }
}

DibFormat LayoutOf(TPixelFormat format) {
  switch (format) {
    case pf1bit:
      return IndexedFormat(1, DefaultColourTable(1));
    case pf4bit:
      return IndexedFormat(4, DefaultColourTable(4));
    case pf8bit:
      return IndexedFormat(8, DefaultColourTable(8));
    case pf15bit:
      return DirectFormat(16);
    case pf16bit:
      return Rgb565Format();
    case pf24bit:
      return DirectFormat(24);
    case pfDevice:
    case pf32bit:
      return DirectFormat(32);
    case pfCustom:
      break;
  }
  RaiseInvalidPixelFormat();
}

}  // namespace platform
