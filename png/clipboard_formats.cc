// The image on the clipboard, as a platform bitmap.
// Placeholder until the clipboard transfer lands.
#include "png/png_object.h"

namespace png {

void TPNGObject::SaveToClipboardFormat(uint16_t&, platform::HBITMAP&, platform::HPALETTE&) {}

void TPNGObject::LoadFromClipboardFormat(uint16_t&, platform::HBITMAP&, platform::HPALETTE&) {}

}  // namespace png
