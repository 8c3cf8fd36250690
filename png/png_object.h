// TPNGObject, the PNG image as a graphic of the platform: a list of chunk objects in file
// order (the header with the decoded image first), the settings that govern writing, and
// the two gamma tables.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "platform/bitmap.h"
#include "platform/gdi_types.h"
#include "platform/graphic.h"
#include "png/chunk_ihdr.h"
#include "png/pointer_list.h"

namespace png {

enum class TransparencyKind : uint8_t { Opaque, ColourKey, Alpha };

// Filter types and the bit each has in a filter set.
enum FilterType : uint8_t { kFilterNone, kFilterSub, kFilterUp, kFilterAverage, kFilterPaeth };
constexpr uint8_t FilterBit(FilterType type) {
  return static_cast<uint8_t>(1u << type);
}

class TPNGObject : public platform::TGraphic {
 public:
  static constexpr std::string_view kClassName = "TPNGObject";
  static constexpr uint32_t kMinIdatSizeLimit = 65535;

  TPNGObject();
  ~TPNGObject() override;
  std::string_view ClassName() const override { return kClassName; }

  // The platform graphic's operations, in slot order.
  void AssignTo(platform::TPersistent& dest) const override;
  void Assign(const platform::TPersistent& source) override;
  void Draw(platform::TCanvas& canvas, const platform::TRect& rect) override;
  bool Empty() const override { return Chunks.ItemCount() == 0; }
  int Height() const override;
  platform::HPALETTE Palette() override { return GetPalette(); }
  bool Transparent() const override { return GetTransparent(); }
  int Width() const override;
  // The size follows the image: both setters raise EPngError.
  void SetHeight(int value) override;
  void SetWidth(int value) override;
  // The virtual constructor, as the picture registry calls it.
  static std::unique_ptr<platform::TGraphic> Create();
  void LoadFromStream(platform::TStream& stream) override;
  void SaveToStream(platform::TStream& stream) override;
  void LoadFromClipboardFormat(uint16_t& format, platform::HBITMAP& data,
                               platform::HPALETTE& palette) override;
  void SaveToClipboardFormat(uint16_t& format, platform::HBITMAP& data,
                             platform::HPALETTE& palette) override;
  // The colour a pixel shows (0 outside the image), and its write.
  virtual platform::COLORREF GetPixelColour(int x, int y);
  virtual void SetPixelColour(int x, int y, platform::COLORREF colour);

  // Settings.
  uint8_t FilterSet() const { return filter_set_; }
  void SetFilterSet(uint8_t value) { filter_set_ = value; }
  uint8_t CompressionLevel() const { return compression_level_; }
  void SetCompressionLevel(uint8_t value) { compression_level_ = value; }
  uint32_t IdatSizeLimit() const { return idat_size_limit_; }
  // Values below 65535 store 65535.
  void SetIdatSizeLimit(uint32_t value);
  uint8_t Interlacing() const { return interlacing_; }
  void SetInterlacing(uint8_t value) { interlacing_ = value; }

  // Frees every chunk and resets both gamma tables to the identity.
  void DiscardChunks();
  bool HasImageHeader() const;
  // Chunk 0 as a header; raises EPNGHeaderNotPresent when it is none.
  TChunkIHDR& ImageHeader() const;
  void CopyFromPng(const TPNGObject& source);
  void ResetGammaTables();
  // Scanline bytes of a whole row and the filters' bytes per pixel; 0 and 0 without header.
  void GetRowGeometry(int32_t& row_size, uint32_t& filter_stride) const;

  // Transparency.
  TransparencyKind GetTransparencyKind() const;
  bool GetTransparent() const { return GetTransparencyKind() != TransparencyKind::Opaque; }
  platform::COLORREF GetKeyColour() const;

  // Bitmap interchange.
  void ConvertFromBitmapHandle(platform::HBITMAP handle, bool transparent,
                               platform::COLORREF key_colour);
  void FillHeaderFromBitmap(TChunkIHDR& header, platform::HBITMAP handle,
                            const platform::BITMAP& size);

  // Drawing and pixel access.
  void DrawColourKeyed(platform::HDC dc, const void* bits, const platform::BITMAPINFO& info,
                       const platform::TRect& rect, platform::COLORREF key_colour);
  void DrawAlphaBlended(platform::HDC dc, const platform::TRect& rect);
  // Row 0 is the top row; no range check.
  uint8_t* GetRowAddress(int row) const;
  platform::HPALETTE GetPalette();
  // Forgets the palette made for drawing (a new image buffer needs a new one).
  void DeleteCachedPalette();

  std::array<uint8_t, 256> DecodeGammaTable{};
  std::array<uint8_t, 256> EncodeGammaTable{};
  platform::HPALETTE CachedPalette;
  TPNGList Chunks;

 private:
  void AssignFromBitmap(const platform::TBitmap& bitmap);
  platform::COLORREF GetIndexedPixel(int x, int y);
  void SetIndexedPixel(int x, int y, platform::COLORREF colour);
  platform::COLORREF GetTrueColourPixel(int x, int y);
  void SetTrueColourPixel(int x, int y, platform::COLORREF colour);

  uint8_t filter_set_ = FilterBit(kFilterSub);
  uint8_t compression_level_ = 7;
  uint32_t idat_size_limit_ = kMinIdatSizeLimit;
  uint8_t interlacing_ = 0;
};

}  // namespace png
