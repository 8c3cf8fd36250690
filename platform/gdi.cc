#include "platform/gdi.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <variant>
#include <vector>

#include "platform/blit.h"
#include "platform/gdi_objects.h"
#include "platform/pixel_format.h"

namespace platform {

namespace {

struct DeviceContext {
  bool screen = false;
  uint32_t selected = 0;  // the bitmap selected into a memory context
  COLORREF background = 0xFFFFFF;
  COLORREF text = 0x000000;
};

struct Palette {
  std::vector<PALETTEENTRY> entries;
};

using GdiObject = std::variant<std::unique_ptr<Dib>, Palette, DeviceContext>;

// Owns every object that a handle names. Handle values are never reused.
class HandleTable {
 public:
  static HandleTable& Instance() {
    static HandleTable table;
    return table;
  }

  uint32_t Add(GdiObject object) {
    const uint32_t handle = next_++;
    objects_.emplace(handle, std::move(object));
    return handle;
  }

  template <typename T>
  T* Find(uint32_t handle) {
    if (handle == 0) return nullptr;
    const auto found = objects_.find(handle);
    // A handle that was issued and is gone is a programming error.
    assert(found != objects_.end() && "handle of a deleted object");
    if (found == objects_.end()) return nullptr;
    return std::get_if<T>(&found->second);
  }

  void Remove(uint32_t handle) { objects_.erase(handle); }

  bool IsSelected(uint32_t bitmap) const {
    for (const auto& [handle, object] : objects_) {
      const auto* dc = std::get_if<DeviceContext>(&object);
      if (dc != nullptr && dc->selected == bitmap) return true;
    }
    return false;
  }

  int Size() const { return static_cast<int>(objects_.size()); }

  uint32_t stock_bitmap = 0;
  uint32_t screen = 0;

 private:
  HandleTable() {
    stock_bitmap = Add(Dib::Allocate(1, 1, MonochromeFormat(), false));
    DeviceContext screen_dc;
    screen_dc.screen = true;
    screen = Add(screen_dc);
  }

  std::unordered_map<uint32_t, GdiObject> objects_;
  uint32_t next_ = 1;
};

HandleTable& Table() {
  return HandleTable::Instance();
}

DeviceContext* FindDc(HDC dc) {
  return Table().Find<DeviceContext>(dc.value);
}

Dib* FindBitmap(uint32_t handle) {
  auto* dib = Table().Find<std::unique_ptr<Dib>>(handle);
  return dib != nullptr ? dib->get() : nullptr;
}

BlitSurface SurfaceOf(HDC dc) {
  BlitSurface surface;
  if (const DeviceContext* context = FindDc(dc)) {
    surface.dib = context->screen ? nullptr : FindBitmap(context->selected);
    surface.background = context->background;
    surface.text = context->text;
  }
  return surface;
}

// The format of bitmaps compatible with a context: that of its bitmap, 32 bits for the screen.
DibFormat CompatibleFormat(HDC dc) {
  const DeviceContext* context = FindDc(dc);
  if (context == nullptr || context->screen) return DirectFormat(32);
  const Dib* dib = FindBitmap(context->selected);
  return dib != nullptr ? dib->Format() : DirectFormat(32);
}

// One of a context's two colours; CLR_INVALID for no context.
COLORREF ColourOf(HDC dc, COLORREF DeviceContext::*colour) {
  const DeviceContext* context = FindDc(dc);
  return context != nullptr ? context->*colour : CLR_INVALID;
}

// Sets one of a context's two colours and returns the one it replaces.
COLORREF ExchangeColour(HDC dc, COLORREF DeviceContext::*colour, COLORREF value) {
  DeviceContext* context = FindDc(dc);
  if (context == nullptr) return CLR_INVALID;
  const COLORREF previous = context->*colour;
  context->*colour = value;
  return previous;
}

void FillInfoHeader(const Dib& dib, BITMAPINFO* info) {
  BITMAPINFOHEADER& header = info->bmiHeader;
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = dib.Width();
  header.biHeight = dib.Height();
  header.biPlanes = 1;
  header.biBitCount = static_cast<uint16_t>(dib.Format().bits);
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<uint32_t>(dib.ByteSize());
}

}  // namespace

HBITMAP AdoptBitmap(std::unique_ptr<Dib> dib) {
  if (!dib) return HBITMAP{};
  return HBITMAP{Table().Add(std::move(dib))};
}

Dib* BitmapPixels(HBITMAP bitmap) {
  return FindBitmap(bitmap.value);
}

Dib* SelectedPixels(HDC dc) {
  return SurfaceOf(dc).dib;
}

int LiveGdiObjects() {
  return Table().Size() - 2;
}

HDC GetDC(std::nullptr_t) {
  return HDC{Table().screen};
}

int ReleaseDC(std::nullptr_t, HDC) {
  return 1;
}

HDC CreateCompatibleDC(HDC) {
  DeviceContext context;
  context.selected = Table().stock_bitmap;
  return HDC{Table().Add(context)};
}

bool DeleteDC(HDC dc) {
  DeviceContext* context = FindDc(dc);
  if (context == nullptr || context->screen) return false;
  Table().Remove(dc.value);
  return true;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  DeviceContext* context = FindDc(dc);
  if (context == nullptr || context->screen || FindBitmap(object.value) == nullptr) {
    return HGDIOBJ{};
  }
  // A bitmap can be selected into one context at a time.
  if (object.value != context->selected && object.value != Table().stock_bitmap &&
      Table().IsSelected(object.value)) {
    return HGDIOBJ{};
  }
  const HBITMAP previous{context->selected};
  context->selected = object.value;
  return previous;
}

bool DeleteObject(HGDIOBJ object) {
  if (object.value == 0 || object.value == Table().stock_bitmap) return false;
  if (Table().Find<Palette>(object.value) != nullptr) {
    Table().Remove(object.value);
    return true;
  }
  if (FindBitmap(object.value) == nullptr || Table().IsSelected(object.value)) return false;
  Table().Remove(object.value);
  return true;
}

COLORREF SetBkColor(HDC dc, COLORREF colour) {
  return ExchangeColour(dc, &DeviceContext::background, colour);
}

COLORREF GetBkColor(HDC dc) {
  return ColourOf(dc, &DeviceContext::background);
}

COLORREF SetTextColor(HDC dc, COLORREF colour) {
  return ExchangeColour(dc, &DeviceContext::text, colour);
}

COLORREF GetTextColor(HDC dc) {
  return ColourOf(dc, &DeviceContext::text);
}

COLORREF GetPixel(HDC dc, int x, int y) {
  const BlitSurface surface = SurfaceOf(dc);
  const Dib* dib = surface.dib;
  if (dib == nullptr || x < 0 || y < 0 || x >= dib->Width() || y >= dib->Height()) {
    return CLR_INVALID;
  }
  uint32_t value;
  ReadPixelValues(*dib, y, x, 1, &value);
  if (dib->Format().monochrome) return value ? surface.background : surface.text;
  return ValueToColour(dib->Format(), value);
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour) {
  const BlitSurface surface = SurfaceOf(dc);
  Dib* dib = surface.dib;
  if (dib == nullptr || x < 0 || y < 0 || x >= dib->Width() || y >= dib->Height()) {
    return CLR_INVALID;
  }
  const uint32_t value = dib->Format().monochrome ? (colour == surface.text ? 0u : 1u)
                                                  : ColourToValue(dib->Format(), colour);
  WritePixelValues(*dib, y, x, 1, &value);
  return GetPixel(dc, x, y);
}

HBITMAP CreateBitmap(int width, int height, unsigned planes, unsigned bits_per_pixel,
                     const void* bits) {
  if (planes != 1) return HBITMAP{};
  DibFormat format;
  switch (bits_per_pixel) {
    case 1:
      format = MonochromeFormat();
      break;
    case 16:
    case 24:
    case 32:
      format = DirectFormat(static_cast<int>(bits_per_pixel));
      break;
    default:
      return HBITMAP{};
  }
  auto dib = Dib::Allocate(width, height, std::move(format), true);
  if (!dib) return HBITMAP{};
  if (bits != nullptr) {
    // Device bitmap rows are padded to 16 bits, not 32.
    const int64_t source_stride = (static_cast<int64_t>(width) * bits_per_pixel + 15) / 16 * 2;
    for (int y = 0; y < height; ++y) {
      std::memcpy(dib->Row(y), static_cast<const uint8_t*>(bits) + source_stride * y,
                  static_cast<size_t>(source_stride));
    }
  }
  return AdoptBitmap(std::move(dib));
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
  return AdoptBitmap(Dib::Allocate(width, height, CompatibleFormat(dc), true));
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, uint32_t, void** bits, void*, uint32_t) {
  if (bits != nullptr) *bits = nullptr;
  if (info == nullptr) return HBITMAP{};
  // Describe the layout with a stand-in pointer, then allocate it for real.
  static uint8_t probe;
  auto layout = Dib::WrapInfo(*info, &probe);
  if (!layout) return HBITMAP{};
  auto dib = Dib::Allocate(layout->Width(), layout->Height(), layout->Format(), layout->TopDown());
  if (!dib) return HBITMAP{};
  if (bits != nullptr) *bits = dib->Bits();
  return AdoptBitmap(std::move(dib));
}

HBITMAP CreateDIBitmap(HDC, const BITMAPINFOHEADER* header, uint32_t init, const void* bits,
                       const BITMAPINFO* info, uint32_t) {
  if (header == nullptr || info == nullptr) return HBITMAP{};
  BITMAPINFO description = *info;
  description.bmiHeader = *header;
  static uint8_t probe;
  auto layout = Dib::WrapInfo(description, bits != nullptr ? bits : &probe);
  if (!layout) return HBITMAP{};
  // Device bitmaps are kept top-down.
  auto dib = Dib::Allocate(layout->Width(), layout->Height(), layout->Format(), true);
  if (!dib) return HBITMAP{};
  if (init == CBM_INIT && bits != nullptr) {
    const size_t row_bytes = static_cast<size_t>(dib->Stride());
    for (int y = 0; y < dib->Height(); ++y)
      std::memcpy(dib->Row(y), layout->Row(y), row_bytes);
  }
  return AdoptBitmap(std::move(dib));
}

int GetDIBits(HDC, HBITMAP bitmap, uint32_t start, uint32_t lines, void* bits, BITMAPINFO* info,
              uint32_t) {
  Dib* source = BitmapPixels(bitmap);
  if (source == nullptr || info == nullptr) return 0;
  if (bits == nullptr) {
    FillInfoHeader(*source, info);
    return source->Height();
  }
  BITMAPINFOHEADER& header = info->bmiHeader;
  const int bit_count = header.biBitCount;
  // Indexed targets of the bitmap's own depth take its colour table; other indexed targets get
  // the default table of their depth, and colours go to the nearest entry.
  if (bit_count <= 8 && bit_count != source->Format().bits) {
    const auto table = DefaultColourTable(bit_count);
    std::copy(table.begin(), table.end(), info->bmiColors);
  } else if (bit_count <= 8) {
    const auto& colours = source->Format().colours;
    const size_t full = size_t{1} << bit_count;
    for (size_t i = 0; i < full; ++i) {
      info->bmiColors[i] = i < colours.size() ? colours[i] : RGBQUAD{};
    }
    if (source->Format().monochrome) {
      info->bmiColors[0] = RGBQUAD{0, 0, 0, 0};
      info->bmiColors[1] = RGBQUAD{255, 255, 255, 0};
    }
  }
  auto target = Dib::WrapInfo(*info, bits);
  if (!target || target->Width() != source->Width()) return 0;
  const int64_t first = start;
  const int64_t last =
      std::min<int64_t>(first + lines, std::min(source->Height(), target->Height()));
  if (first >= last) return 0;
  // Lines are counted from the bottom, as in a bottom-up DIB, so lines first to last - 1
  // are one band of rows in each bitmap, copied in one blit.
  const int band = static_cast<int>(last - first);
  BlitSurface to{target.get(), 0xFFFFFF, 0};
  BlitSurface from{source, 0xFFFFFF, 0};
  StretchPixels(to, BlitRect{0, static_cast<int>(target->Height() - last), target->Width(), band},
                from, BlitRect{0, static_cast<int>(source->Height() - last), source->Width(), band},
                SRCCOPY);
  return static_cast<int>(last - first);
}

int GetObject(HGDIOBJ object, int size, void* out) {
  const Dib* dib = FindBitmap(object.value);
  if (dib == nullptr || out == nullptr || size < static_cast<int>(sizeof(BITMAP))) return 0;
  BITMAP record;
  record.bmType = 0;
  record.bmWidth = dib->Width();
  record.bmHeight = dib->Height();
  record.bmWidthBytes = static_cast<int32_t>(dib->Stride());
  record.bmPlanes = 1;
  record.bmBitsPixel = static_cast<uint16_t>(dib->Format().bits);
  record.bmBits = const_cast<uint8_t*>(dib->Bits());
  std::memcpy(out, &record, sizeof record);
  return sizeof record;
}

bool BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int source_x, int source_y,
            uint32_t rop) {
  return StretchBlt(dest, x, y, width, height, source, source_x, source_y, width, height, rop);
}

bool StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int source_x,
                int source_y, int source_width, int source_height, uint32_t rop) {
  if (FindDc(dest) == nullptr || FindDc(source) == nullptr) return false;
  return StretchPixels(SurfaceOf(dest), BlitRect{x, y, width, height}, SurfaceOf(source),
                       BlitRect{source_x, source_y, source_width, source_height}, rop);
}

int StretchDIBits(HDC dest, int x, int y, int width, int height, int source_x, int source_y,
                  int source_width, int source_height, const void* bits, const BITMAPINFO* info,
                  uint32_t, uint32_t rop) {
  if (FindDc(dest) == nullptr || info == nullptr || bits == nullptr) return 0;
  auto source = Dib::WrapInfo(*info, bits);
  if (!source) return 0;
  // As in Win32, source_y counts rows from the DIB's first row in memory: the bottom row of a
  // bottom-up DIB. The blit engine counts from the top.
  const int64_t top =
      source->TopDown() ? int64_t{source_y} : int64_t{source->Height()} - source_y - source_height;
  if (top < INT32_MIN || top > INT32_MAX) return 0;
  BlitSurface from{source.get(), 0xFFFFFF, 0};
  if (!StretchPixels(SurfaceOf(dest), BlitRect{x, y, width, height}, from,
                     BlitRect{source_x, static_cast<int>(top), source_width, source_height}, rop)) {
    return 0;
  }
  return source_height;
}

HPALETTE CreatePalette(const LOGPALETTE* palette) {
  if (palette == nullptr || palette->palNumEntries == 0 || palette->palNumEntries > 256) {
    return HPALETTE{};
  }
  Palette object;
  object.entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
  return HPALETTE{Table().Add(std::move(object))};
}

uint32_t GetNearestPaletteIndex(HPALETTE palette, COLORREF colour) {
  const Palette* object = Table().Find<Palette>(palette.value);
  if (object == nullptr) return CLR_INVALID;
  std::vector<RGBQUAD> colours;
  colours.reserve(object->entries.size());
  for (const PALETTEENTRY& entry : object->entries) {
    colours.push_back(RGBQUAD{entry.peBlue, entry.peGreen, entry.peRed, 0});
  }
  return NearestColourIndex(colours, colour);
}

uint32_t GetPaletteEntries(HPALETTE palette, uint32_t start, uint32_t count,
                           PALETTEENTRY* entries) {
  const Palette* object = Table().Find<Palette>(palette.value);
  if (object == nullptr || start >= object->entries.size()) return 0;
  const uint32_t available = static_cast<uint32_t>(object->entries.size()) - start;
  const uint32_t copied = std::min(count, available);
  if (entries != nullptr) std::memcpy(entries, &object->entries[start], sizeof(*entries) * copied);
  return copied;
}

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const int64_t product = static_cast<int64_t>(a) * b;
  const bool negative = (product < 0) != (c < 0);
  const int64_t magnitude = std::llabs(product);
  const int64_t divisor = std::llabs(static_cast<int64_t>(c));
  const int64_t quotient = (magnitude + divisor / 2) / divisor;
  const int64_t result = negative ? -quotient : quotient;
  if (result > INT32_MAX || result < INT32_MIN) return -1;
  return static_cast<int>(result);
}

COLORREF ColorToRGB(TColor colour) {
  // The system colours of a classic desktop theme, by index.
  static constexpr COLORREF kSystemColours[] = {
      0xC8D0D4, 0xA56E3A, 0x6A240A, 0x808080, 0xC8D0D4, 0xFFFFFF, 0x000000, 0x000000,
      0x000000, 0xFFFFFF, 0xC8D0D4, 0xC8D0D4, 0x808080, 0x6A240A, 0xFFFFFF, 0xC8D0D4,
      0x808080, 0x808080, 0x000000, 0xC8D0D4, 0xFFFFFF, 0x404040, 0xC8D0D4, 0x000000,
      0xE1FFFF, 0xB5B5B5, 0x800000, 0xF0CAA6, 0xC0C0C0, 0xD77800, 0xC8D0D4};
  if (colour >= 0) return static_cast<COLORREF>(colour);
  const uint32_t index = static_cast<uint32_t>(colour) & 0xFF;
  return index < std::size(kSystemColours) ? kSystemColours[index] : 0;
}

}  // namespace platform
