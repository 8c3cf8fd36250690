// The base classes of the graphics library: persistent objects with the assign protocol,
// and graphics that load, save, draw and go to the clipboard.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/gdi_types.h"
#include "platform/stream.h"

namespace platform {

class TCanvas;

class TPersistent {
 public:
  virtual ~TPersistent() = default;
  virtual std::string_view ClassName() const = 0;

  // Makes this object a copy of source. The default asks source to assign itself to this
  // object (AssignTo).
  virtual void Assign(const TPersistent& source);
  // Copies this object into dest; the default raises EConvertError.
  virtual void AssignTo(TPersistent& dest) const;
};

class TGraphic : public TPersistent {
 public:
  // Draws the graphic scaled to rect.
  virtual void Draw(TCanvas& canvas, const TRect& rect) = 0;
  virtual bool Empty() const = 0;
  virtual int Height() const = 0;
  virtual HPALETTE Palette() { return HPALETTE{}; }
  virtual bool Transparent() const { return false; }
  virtual int Width() const = 0;
  virtual void SetHeight(int value) = 0;
  virtual void SetWidth(int value) = 0;
  virtual void LoadFromStream(TStream& stream) = 0;
  virtual void SaveToStream(TStream& stream) = 0;
  // The clipboard operations: a format number, a data handle and a palette handle.
  virtual void LoadFromClipboardFormat(uint16_t& format, HBITMAP& data, HPALETTE& palette) = 0;
  virtual void SaveToClipboardFormat(uint16_t& format, HBITMAP& data, HPALETTE& palette) = 0;

  // Opens the file for reading and loads from it; the file is closed however the load ends.
  void LoadFromFile(const std::string& path);
  // Saves over the file without ever losing it: the whole new file is written beside it
  // and renamed over it only when complete.
  void SaveToFile(const std::string& path);
};

}  // namespace platform
