#include "platform/clipboard.h"

#include "platform/gdi.h"

namespace platform {

TClipboard& TClipboard::Instance() {
  static TClipboard clipboard;
  return clipboard;
}

TClipboard::~TClipboard() {
  Clear();
}

void TClipboard::Clear() {
  for (auto& [format, entry] : entries_) {
    if (entry.data) DeleteObject(entry.data);
    if (entry.palette) DeleteObject(entry.palette);
  }
  entries_.clear();
}

bool TClipboard::HasFormat(uint16_t format) const {
  return entries_.contains(format);
}

void TClipboard::SetAsHandle(uint16_t format, HBITMAP data, HPALETTE palette) {
  Clear();
  entries_[format] = Entry{data, palette};
}

HBITMAP TClipboard::GetAsHandle(uint16_t format) const {
  const auto found = entries_.find(format);
  return found != entries_.end() ? found->second.data : HBITMAP{};
}

HPALETTE TClipboard::GetPalette(uint16_t format) const {
  const auto found = entries_.find(format);
  return found != entries_.end() ? found->second.palette : HPALETTE{};
}

void TClipboard::Assign(TGraphic& graphic) {
  uint16_t format = 0;
  HBITMAP data;
  HPALETTE palette;
  graphic.SaveToClipboardFormat(format, data, palette);
  SetAsHandle(format, data, palette);
}

void TClipboard::AssignTo(TGraphic& graphic) const {
  uint16_t format = CF_BITMAP;
  HBITMAP data = GetAsHandle(format);
  HPALETTE palette = GetPalette(format);
  graphic.LoadFromClipboardFormat(format, data, palette);
}

}  // namespace platform
