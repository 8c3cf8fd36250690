// The image on the clipboard, as a platform bitmap.
#include "platform/bitmap.h"
#include "png/png_object.h"

namespace png {

// The image is drawn, with its transparency, over what a new bitmap holds (black), and that
// bitmap goes to the clipboard.
void TPNGObject::SaveToClipboardFormat(uint16_t& format, platform::HBITMAP& data,
                                       platform::HPALETTE& palette) {
  platform::TBitmap bitmap;
  bitmap.SetWidth(Width());
  bitmap.SetHeight(Height());
  Draw(bitmap.Canvas(), platform::Rect(0, 0, bitmap.Width(), bitmap.Height()));
  bitmap.SaveToClipboardFormat(format, data, palette);
}

// A clipboard bitmap is never transparent.
void TPNGObject::LoadFromClipboardFormat(uint16_t& format, platform::HBITMAP& data,
                                         platform::HPALETTE& palette) {
  platform::TBitmap bitmap;
  bitmap.LoadFromClipboardFormat(format, data, palette);
  ConvertFromBitmapHandle(bitmap.Handle(), false, 0);
}

}  // namespace png
