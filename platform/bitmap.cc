#include "platform/bitmap.h"

#include <algorithm>
#include <utility>

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

// A bitmap object and its pixels, deleted when the last bitmap sharing it lets go.
struct BitmapImage {
  explicit BitmapImage(HBITMAP bitmap) : handle(bitmap) {}
  ~BitmapImage() { DeleteObject(handle); }
  BitmapImage(const BitmapImage&) = delete;
  BitmapImage& operator=(const BitmapImage&) = delete;

  HBITMAP handle;
};

TCanvas::~TCanvas() {
  Release();
}

void TCanvas::Release() {
  if (!dc_) return;
  DeleteDC(dc_);
  dc_ = HDC{};
}

HDC TCanvas::Handle() {
  // Asked first: taking pixels of its own makes the bitmap release this context.
  const HBITMAP bitmap = owner_.WritableHandle();
  if (!dc_) dc_ = CreateCompatibleDC(HDC{});
  if (bitmap) SelectObject(dc_, bitmap);
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
  // The canvas lets go of the pixels before they can be deleted.
  canvas_.reset();
  image_.reset();
  if (palette_) DeleteObject(palette_);
}

const Dib* TBitmap::CurrentPixels() const {
  return BitmapPixels(Handle());
}

HBITMAP TBitmap::Handle() const {
  return image_ ? image_->handle : HBITMAP{};
}

HBITMAP TBitmap::WritableHandle() {
  Unshare();
  return Handle();
}

void TBitmap::ReplaceHandle(HBITMAP handle) {
  // The old bitmap must leave the canvas's context before it can be deleted.
  canvas_->Release();
  if (!image_ || image_->handle != handle) {
    image_ = handle ? std::make_shared<BitmapImage>(handle) : nullptr;
  }
  if (palette_) DeleteObject(palette_);
  palette_ = HPALETTE{};
}

void TBitmap::Unshare() {
  if (!image_ || image_.use_count() == 1) return;
  auto copy = CurrentPixels()->Clone();
  if (!copy) RaiseOutOfResources();
  ReplaceHandle(AdoptBitmap(std::move(copy)));
}

void TBitmap::SetHandle(HBITMAP handle) {
  const Dib* dib = BitmapPixels(handle);
  ReplaceHandle(dib != nullptr ? handle : HBITMAP{});
  width_ = dib != nullptr ? dib->Width() : 0;
  height_ = dib != nullptr ? dib->Height() : 0;
  if (dib != nullptr) layout_ = dib->Format();
}

const uint8_t* TBitmap::ScanLine(int y) const {
  const Dib* dib = CurrentPixels();
  if (dib == nullptr || y < 0 || y >= height_) return nullptr;
  return dib->Row(y);
}

uint8_t* TBitmap::ScanLine(int y) {
  Unshare();
  return const_cast<uint8_t*>(std::as_const(*this).ScanLine(y));
}

bool TBitmap::CropInPlace(const TRect& rect) {
  if (!image_ || image_.use_count() != 1 || PixelFormat() == pfCustom) return false;
  // Only the format's own layout: a copy would be made in it, and a file saved from it
  // would then differ (bit-field headers, alpha masks).
  const DibFormat standard = LayoutOf(PixelFormat());
  if (layout_.bits != standard.bits || layout_.red_mask != standard.red_mask ||
      layout_.green_mask != standard.green_mask || layout_.blue_mask != standard.blue_mask ||
      layout_.alpha_mask != standard.alpha_mask || layout_.bitfields != standard.bitfields ||
      layout_.monochrome != standard.monochrome) {
    return false;
  }
  Dib* dib = BitmapPixels(image_->handle);
  if (dib == nullptr ||
      !dib->CropInPlace(rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top)) {
    return false;
  }
  width_ = dib->Width();
  height_ = dib->Height();
  return true;
}

void TBitmap::Resize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  HBITMAP resized;
  if (width > 0 && height > 0) {
    auto dib = Dib::Allocate(width, height, layout_, true);
    if (!dib) RaiseOutOfResources();
    if (const Dib* old = CurrentPixels()) {
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
  if (const Dib* old = CurrentPixels()) {
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
  if (Dib* dib = BitmapPixels(WritableHandle())) {
    dib->Format().colours = std::move(colours);
    dib->Format().monochrome = false;
  }
  if (palette_) DeleteObject(palette_);
  palette_ = HPALETTE{};
}

TColor TBitmap::TransparentColor() const {
  if (transparent_color_ != clDefault) return transparent_color_;
  const Dib* dib = CurrentPixels();
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
  // The pixels are shared, not copied; whichever bitmap changes them first takes a copy.
  // Neither canvas may hold them selected meanwhile, or a write through it would be seen
  // by both.
  bitmap->canvas_->Release();
  ReplaceHandle(HBITMAP{});
  image_ = bitmap->image_;
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
  if (const Dib* dib = CurrentPixels()) WriteBmp(stream, *dib, resolution_);
}

void TBitmap::SaveToClipboardFormat(uint16_t& format, HBITMAP& data, HPALETTE& palette) {
  format = CF_BITMAP;
  data = HBITMAP{};
  palette = HPALETTE{};
  if (const Dib* pixels = CurrentPixels()) {
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
