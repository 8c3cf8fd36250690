// The objects behind the platform's handles, for the classes of this layer.
#pragma once

#include <memory>

#include "platform/dib.h"
#include "platform/gdi_types.h"

namespace platform {

// Hands a bitmap to the handle table, which owns it until DeleteObject.
HBITMAP AdoptBitmap(std::unique_ptr<Dib> dib);
// The pixels behind a handle; nothing for no bitmap (a stale handle also fails in debug builds).
Dib* BitmapPixels(HBITMAP bitmap);
// The bitmap selected into a device context; nothing for the screen.
Dib* SelectedPixels(HDC dc);
// The number of bitmaps, palettes and device contexts alive (the stock objects excluded).
int LiveGdiObjects();

}  // namespace platform
