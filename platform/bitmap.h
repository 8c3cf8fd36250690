// TBitmap, the platform's bitmap graphic, and TCanvas, the drawing surface of a bitmap.
#pragma once

#include <memory>
#include <vector>

#include "platform/bmp.h"
#include "platform/gdi_types.h"
#include "platform/graphic.h"
#include "platform/pixel_format.h"

namespace platform {

class TBitmap;
struct BitmapImage;

class TCanvas {
 public:
  explicit TCanvas(TBitmap& owner) : owner_(owner) {}
  ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  // A memory device context with the bitmap selected.
  HDC Handle();
  // The colour of a pixel, or CLR_INVALID outside the bitmap.
  TColor Pixels(int x, int y);
  void SetPixels(int x, int y, TColor colour);
  // Copies source_rect of canvas onto dest_rect of this canvas, scaling when the sizes
  // differ, with the canvas's copy mode.
  void CopyRect(const TRect& dest_rect, TCanvas& canvas, const TRect& source_rect);
  uint32_t CopyMode() const { return copy_mode_; }
  void SetCopyMode(uint32_t rop) { copy_mode_ = rop; }
  // Draws a graphic scaled to rect.
  void StretchDraw(const TRect& rect, TGraphic& graphic);

 private:
  friend class TBitmap;
  struct BitmapImage;
  // Puts the stock bitmap back so that the bitmap can be replaced or deleted.
  void Release();

  TBitmap& owner_;
  HDC dc_;
  uint32_t copy_mode_ = SRCCOPY;
};

class TBitmap final : public TGraphic {
 public:
  TBitmap();
  ~TBitmap() override;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  std::string_view ClassName() const override { return "TBitmap"; }
  void Assign(const TPersistent& source) override;

  void Draw(TCanvas& canvas, const TRect& rect) override;
  bool Empty() const override { return width_ == 0 || height_ == 0; }
  int Height() const override { return height_; }
  HPALETTE Palette() override;
  bool Transparent() const override { return transparent_; }
  int Width() const override { return width_; }
  void SetHeight(int value) override;
  void SetWidth(int value) override;
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  void LoadFromClipboardFormat(uint16_t& format, HBITMAP& data, HPALETTE& palette) override;
  void SaveToClipboardFormat(uint16_t& format, HBITMAP& data, HPALETTE& palette) override;

  // A bitmap keeps the layout it was made in; setting the format it already has changes
  // nothing, another one converts every pixel (pfCustom raises EInvalidGraphic).
  TPixelFormat PixelFormat() const { return PixelFormatOf(layout_); }
  // The pixel layout behind ScanLine: depth, colour masks and colour table.
  const DibFormat& Layout() const { return layout_; }
  void SetPixelFormat(TPixelFormat format);
  // The colour table of 1-, 4- and 8-bit bitmaps (empty for the others). Setting it keeps
  // every pixel's index.
  const std::vector<RGBQUAD>& ColourTable() const { return layout_.colours; }
  void SetColourTable(std::vector<RGBQUAD> colours);

  TCanvas& Canvas() { return *canvas_; }
  void SetTransparent(bool value) { transparent_ = value; }
  // The colour shown transparent: the one set, or else the bottom-left pixel's.
  TColor TransparentColor() const;
  void SetTransparentColor(TColor colour) { transparent_color_ = colour; }
  const BmpResolution& Resolution() const { return resolution_; }
  void SetResolution(const BmpResolution& resolution) { resolution_ = resolution; }

  // The bitmap object with the pixels, for reading; none while the bitmap is empty. Writes go
  // through the canvas or ScanLine, which first give a bitmap that shares its pixels (after
  // an Assign) a copy of its own.
  HBITMAP Handle() const;
  // Takes over a bitmap object, which the bitmap deletes when done with it.
  void SetHandle(HBITMAP handle);
  // The first byte of pixel row y (0 is the top row), as laid out in memory; the non-const
  // form is for writing and unshares the pixels first.
  const uint8_t* ScanLine(int y) const;
  uint8_t* ScanLine(int y);
  // Keeps only the rectangle, in the same memory, format and colour table; false (nothing
  // changed) when the pixels are shared with another bitmap or their layout does not allow
  // it, and the caller copies instead. Saves the whole second image a copy would allocate.
  bool CropInPlace(const TRect& rect);

 private:
  friend class TCanvas;
  void ReplaceHandle(HBITMAP handle);
  // Gives this bitmap pixels of its own when it shares them with another.
  void Unshare();
  // The bitmap object, unshared first, for the canvas to draw on.
  HBITMAP WritableHandle();
  // The pixels, for reading.
  const Dib* CurrentPixels() const;
  void Resize(int width, int height);

  // Bitmaps assigned from each other share their pixels until one of them changes them.
  std::shared_ptr<BitmapImage> image_;
  int width_ = 0;
  int height_ = 0;
  DibFormat layout_;
  bool transparent_ = false;
  TColor transparent_color_ = clDefault;
  BmpResolution resolution_;
  HPALETTE palette_;
  std::unique_ptr<TCanvas> canvas_;
};

}  // namespace platform
