// The in-process clipboard: graphics put themselves on it and take themselves from it.
#pragma once

#include <cstdint>
#include <map>

#include "platform/gdi_types.h"
#include "platform/graphic.h"

namespace platform {

constexpr uint16_t CF_BITMAP = 2;

class TClipboard {
 public:
  static TClipboard& Instance();
  ~TClipboard();

  // Empties the clipboard, deleting the objects it holds.
  void Clear();
  bool HasFormat(uint16_t format) const;
  // Stores data and palette under format; the clipboard owns them from then on.
  void SetAsHandle(uint16_t format, HBITMAP data, HPALETTE palette);
  HBITMAP GetAsHandle(uint16_t format) const;
  HPALETTE GetPalette(uint16_t format) const;

  // Puts a graphic on the clipboard in the format it chooses.
  void Assign(TGraphic& graphic);
  // Lets a graphic load itself from the clipboard's bitmap.
  void AssignTo(TGraphic& graphic) const;

 private:
  TClipboard() = default;
  struct Entry {
    HBITMAP data;
    HPALETTE palette;
  };
  std::map<uint16_t, Entry> entries_;
};

}  // namespace platform
