#include "platform/bitmap.h"

#include <algorithm>

#include "platform/blit.h"
#include "platform/clipboard.h"
#include "platform/exception.h"
#include "platform/gdi.h"
#include "platform/gdi_objects.h"

namespace platform {

namespace {

HPALETTE PaletteOf(const std::vector<RGBQUAD>& colours) {
  LOGPALETTE description;
  description.palNumEntries = static_cast<uint16_t>(colours.size());
  for (size_t i = 0; i < colours.size(); ++i) {
    description.palPalEntry[i] =
        PALETTEENTRY{colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue, 0};
  }
  return CreatePalette(&description);
}

}  // namespace

TCanvas::~TCanvas() {
  Release();
}

void TCanvas::Release() {
  if (!dc_) return;
  DeleteDC(dc_);
  dc_ = HDC{};
}

HDC TCanvas::Handle() {
  if (!dc_) dc_ = CreateCompatibleDC(HDC{});
  if (owner_.Handle()) SelectObject(dc_, owner_.Handle());
  return dc_;
}

TColor TCanvas::Pixels(int x, int y) {
  return static_cast<TColor>(GetPixel(Handle(), x, y));
}

void TCanvas::SetPixels(int x, int y, TColor colour) {
  SetPixel(Handle(), x, y, ColorToRGB(colour));
}

void TCanvas::CopyRect(const TRect& dest_rect, TCanvas& canvas, const TRect& source_rect) {
  StretchBlt(Handle(), dest_rect.Left, dest_rect.Top, dest_rect.Width(), dest_rect.Height(),
             canvas.Handle(), source_rect.Left, source_rect.Top, source_rect.Width(),
             source_rect.Height(), copy_mode_);
}

void TCanvas::StretchDraw(const TRect& rect, TGraphic& graphic) {
  graphic.Draw(*this, rect);
}

TBitmap::TBitmap() : layout_(LayoutOf(pfDevice)), canvas_(std::make_unique<TCanvas>(*this)) {}

TBitmap::~TBitmap() {
  canvas_.reset();
  if (handle_) DeleteObject(handle_);
  if (palette_) DeleteObject(palette_);
}

void TBitmap::ReplaceHandle(HBITMAP handle) {
  // The old bitmap must leave the canvas's context before it can be deleted.
  canvas_->Release();
  if (handle_ && handle_ != handle) DeleteObject(handle_);
  if (palette_) DeleteObject(palette_);
  palette_ = HPALETTE{};
  handle_ = handle;
}

void TBitmap::SetHandle(HBITMAP handle) {
  ReplaceHandle(handle);
  if (const Dib* dib = BitmapPixels(handle)) {
    width_ = dib->Width();
    height_ = dib->Height();
    layout_ = dib->Format();
  } else {
    handle_ = HBITMAP{};
    width_ = height_ = 0;
  }
}

uint8_t* TBitmap::ScanLine(int y) {
  Dib* dib = BitmapPixels(handle_);
  if (dib == nullptr || y < 0 || y >= height_) return nullptr;
  return dib->Row(y);
}

void TBitmap::Resize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  HBITMAP resized;
  if (width > 0 && height > 0) {
    auto dib = Dib::Allocate(width, height, layout_, true);
    if (!dib) RaiseOutOfResources();
    if (const Dib* old = BitmapPixels(handle_)) {
      // The overlap keeps its pixels; new rows and columns start zero.
      StretchPixels(BlitSurface{dib.get()},
                    BlitRect{0, 0, std::min(width, width_), std::min(height, height_)},
                    BlitSurface{const_cast<Dib*>(old)},
                    BlitRect{0, 0, std::min(width, width_), std::min(height, height_)}, SRCCOPY);
    }
    resized = AdoptBitmap(std::move(dib));
  }
  ReplaceHandle(resized);
  width_ = width;
  height_ = height;
}

void TBitmap::SetWidth(int value) {
  Resize(value, height_);
}

void TBitmap::SetHeight(int value) {
  Resize(width_, value);
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == pfDevice) format = pf32bit;
  if (format == PixelFormat() && format != pfCustom) return;
  DibFormat layout = LayoutOf(format);
  if (const Dib* old = BitmapPixels(handle_)) {
    auto dib = Dib::Allocate(width_, height_, layout, true);
    if (!dib) RaiseOutOfResources();
    StretchPixels(BlitSurface{dib.get()}, BlitRect{0, 0, width_, height_},
                  BlitSurface{const_cast<Dib*>(old)}, BlitRect{0, 0, width_, height_}, SRCCOPY);
    ReplaceHandle(AdoptBitmap(std::move(dib)));
  }
  layout_ = std::move(layout);
}

void TBitmap::SetColourTable(std::vector<RGBQUAD> colours) {
  if (!layout_.Indexed()) return;
  colours.resize(std::min<size_t>(colours.size(), size_t{1} << layout_.bits));
  layout_.colours = colours;
  layout_.monochrome = false;
  if (Dib* dib = BitmapPixels(handle_)) {
    dib->Format().colours = std::move(colours);
    dib->Format().monochrome = false;
  }
  if (palette_) DeleteObject(palette_);
  palette_ = HPALETTE{};
}

TColor TBitmap::TransparentColor() const {
  if (transparent_color_ != clDefault) return transparent_color_;
  const Dib* dib = BitmapPixels(handle_);
  if (dib == nullptr) return clDefault;
  uint32_t value;
  ReadPixelValues(*dib, height_ - 1, 0, 1, &value);
  if (layout_.monochrome) return value ? clWhite : clBlack;
  return static_cast<TColor>(ValueToColour(dib->Format(), value));
}

HPALETTE TBitmap::Palette() {
  if (!palette_ && layout_.Indexed() && !layout_.colours.empty()) {
    palette_ = PaletteOf(layout_.colours);
  }
  return palette_;
}

void TBitmap::Assign(const TPersistent& source) {
  if (&source == this) return;
  const auto* bitmap = dynamic_cast<const TBitmap*>(&source);
  if (bitmap == nullptr) {
    TGraphic::Assign(source);
    return;
  }
  HBITMAP copy;
  if (const Dib* pixels = BitmapPixels(bitmap->handle_)) {
    auto dib = pixels->Clone();
    if (!dib) RaiseOutOfResources();
    copy = AdoptBitmap(std::move(dib));
  }
  ReplaceHandle(copy);
  width_ = bitmap->width_;
  height_ = bitmap->height_;
  layout_ = bitmap->layout_;
  transparent_ = bitmap->transparent_;
  transparent_color_ = bitmap->transparent_color_;
  resolution_ = bitmap->resolution_;
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) {
  if (Empty()) return;
  StretchBlt(canvas.Handle(), rect.Left, rect.Top, rect.Width(), rect.Height(), canvas_->Handle(),
             0, 0, width_, height_, canvas.CopyMode());
}

void TBitmap::LoadFromStream(TStream& stream) {
  BmpResolution resolution;
  auto dib = ReadBmp(stream, &resolution);
  const HBITMAP handle = AdoptBitmap(std::move(dib));
  if (!handle) RaiseInvalidBitmap();
  SetHandle(handle);
  resolution_ = resolution;
}

void TBitmap::SaveToStream(TStream& stream) {
  if (const Dib* dib = BitmapPixels(handle_)) WriteBmp(stream, *dib, resolution_);
}

void TBitmap::SaveToClipboardFormat(uint16_t& format, HBITMAP& data, HPALETTE& palette) {
  format = CF_BITMAP;
  data = HBITMAP{};
  palette = HPALETTE{};
  if (const Dib* pixels = BitmapPixels(handle_)) {
    auto dib = pixels->Clone();
    if (!dib) RaiseOutOfResources();
    data = AdoptBitmap(std::move(dib));
  }
  if (layout_.Indexed() && !layout_.colours.empty()) palette = PaletteOf(layout_.colours);
}

void TBitmap::LoadFromClipboardFormat(uint16_t& format, HBITMAP& data, HPALETTE&) {
  const Dib* pixels = BitmapPixels(data);
  if (format != CF_BITMAP || pixels == nullptr) {
    throw EInvalidGraphic("Unsupported clipboard format");
  }
  auto dib = pixels->Clone();
  if (!dib) RaiseOutOfResources();
  SetHandle(AdoptBitmap(std::move(dib)));
}

}  // namespace platform
