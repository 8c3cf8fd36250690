// The Win32-style graphics functions of the platform layer: device contexts, bitmaps,
// palettes and blits, all on in-memory bitmaps.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/gdi_types.h"

namespace platform {

// The screen's device context. There is no display: blits to it draw nothing, and bitmaps
// compatible with it have 32 bits per pixel.
HDC GetDC(std::nullptr_t window);
int ReleaseDC(std::nullptr_t window, HDC dc);
// A memory device context with the stock 1 x 1 monochrome bitmap selected.
HDC CreateCompatibleDC(HDC reference);
bool DeleteDC(HDC dc);
// Selects a bitmap into a memory context and returns the one it replaces.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Deletes a bitmap or palette; refuses the stock bitmap and a bitmap still selected.
bool DeleteObject(HGDIOBJ object);
COLORREF SetBkColor(HDC dc, COLORREF colour);
COLORREF GetBkColor(HDC dc);
COLORREF SetTextColor(HDC dc, COLORREF colour);
COLORREF GetTextColor(HDC dc);
COLORREF GetPixel(HDC dc, int x, int y);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour);

// A device bitmap; one plane of one bit per pixel makes a monochrome bitmap.
HBITMAP CreateBitmap(int width, int height, unsigned planes, unsigned bits_per_pixel,
                     const void* bits);
// A bitmap in the format of the bitmap selected into dc (32 bits for the screen).
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// A bitmap with zeroed pixel memory laid out as info describes; *bits receives the memory.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, uint32_t usage, void** bits, void* section,
                         uint32_t offset);
// A bitmap in the format of the DIB, initialised from its pixels when init is CBM_INIT.
HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, uint32_t init, const void* bits,
                       const BITMAPINFO* info, uint32_t usage);
// Copies rows of a bitmap into bits laid out as info describes, converting colours; for
// indexed layouts of the bitmap's own depth the bitmap's colour table goes into info.
int GetDIBits(HDC dc, HBITMAP bitmap, uint32_t start, uint32_t lines, void* bits, BITMAPINFO* info,
              uint32_t usage);
// Fills a BITMAP size record; returns the bytes written, 0 for no bitmap.
int GetObject(HGDIOBJ object, int size, void* out);

bool BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int source_x, int source_y,
            uint32_t rop);
// Nearest-pixel scaling from the source rectangle to the destination rectangle.
bool StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int source_x,
                int source_y, int source_width, int source_height, uint32_t rop);
// The source rectangle's y counts from the DIB's first row in memory, so from the bottom of a
// bottom-up DIB.
int StretchDIBits(HDC dest, int x, int y, int width, int height, int source_x, int source_y,
                  int source_width, int source_height, const void* bits, const BITMAPINFO* info,
                  uint32_t usage, uint32_t rop);

HPALETTE CreatePalette(const LOGPALETTE* palette);
// The first entry nearest to the colour; CLR_INVALID for no palette.
uint32_t GetNearestPaletteIndex(HPALETTE palette, COLORREF colour);
// Copies entries of a palette; returns how many.
uint32_t GetPaletteEntries(HPALETTE palette, uint32_t start, uint32_t count, PALETTEENTRY* entries);

// a x b / c, rounded half away from zero; -1 when c is 0 or the result does not fit.
int MulDiv(int a, int b, int c);
// The colour value of a colour, resolving system colours.
COLORREF ColorToRGB(TColor colour);

}  // namespace platform
