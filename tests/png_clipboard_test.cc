#include <gtest/gtest.h>

#include "platform/clipboard.h"
#include "platform/gdi.h"
#include "platform/gdi_objects.h"
#include "png/chunk_trns.h"
#include "png/png_object.h"
#include "tests/exception_matchers.h"
#include "tests/png_memory_image.h"

namespace png {
namespace {

using platform::COLORREF;
using platform::RGB;

constexpr COLORREF kKey = RGB(255, 0, 255);

// A 3 x 1 truecolour image whose middle pixel has the key colour.
void BuildKeyedImage(TPNGObject& image) {
  TChunkIHDR& header = tests::AddHeader(image, 3, 1, 8, 2);
  tests::PutColour(header, 0, 0, RGB(10, 20, 30));
  tests::PutColour(header, 1, 0, kKey);
  tests::PutColour(header, 2, 0, RGB(200, 150, 100));
  tests::AddKeyColour(image, kKey);
}

class PngClipboard : public testing::Test {
 protected:
  void TearDown() override { platform::TClipboard::Instance().Clear(); }
};

// The new bitmap starts black, so transparent pixels come back black, and the result carries
// no transparency.
TEST_F(PngClipboard, SavedImageLoadsBackOpaqueWithTransparencyApplied) {
  TPNGObject image;
  BuildKeyedImage(image);
  platform::TClipboard::Instance().Assign(image);

  TPNGObject loaded;
  platform::TClipboard::Instance().AssignTo(loaded);
  ASSERT_TRUE(loaded.HasImageHeader());
  EXPECT_EQ(loaded.Width(), 3);
  EXPECT_EQ(loaded.Height(), 1);
  EXPECT_EQ(loaded.Chunks.FirstChunkOfClass<TChunktRNS>(), nullptr);
  EXPECT_FALSE(loaded.Transparent());
  EXPECT_EQ(loaded.GetPixelColour(0, 0), RGB(10, 20, 30));
  EXPECT_EQ(loaded.GetPixelColour(1, 0), 0u);
  EXPECT_EQ(loaded.GetPixelColour(2, 0), RGB(200, 150, 100));
}

TEST_F(PngClipboard, AlphaImageIsBlendedOverTheNewBitmap) {
  TPNGObject image;
  TChunkIHDR& header = tests::AddHeader(image, 1, 1, 8, 6);
  tests::PutColour(header, 0, 0, RGB(200, 100, 0));
  tests::PutAlpha(header, 0, 0, 128);
  platform::TClipboard::Instance().Assign(image);
  TPNGObject loaded;
  platform::TClipboard::Instance().AssignTo(loaded);
  EXPECT_EQ(loaded.GetPixelColour(0, 0), RGB(100, 50, 0));
}

TEST_F(PngClipboard, ImageWithoutHeaderSavesAnEmptyBitmap) {
  TPNGObject empty;
  uint16_t format = 0;
  platform::HBITMAP data;
  platform::HPALETTE palette;
  empty.SaveToClipboardFormat(format, data, palette);
  EXPECT_EQ(format, platform::CF_BITMAP);
  EXPECT_FALSE(data);
}

TEST_F(PngClipboard, TemporaryBitmapGoesAlsoWhenDrawingRaises) {
  TPNGObject image;
  BuildKeyedImage(image);
  TPNGObject broken;  // palette alphas for an index the palette lacks
  tests::AddHeader(broken, 1, 1, 8, 3);
  tests::AddPalette(broken, {RGB(1, 1, 1)});
  tests::AddTransparency(broken, {0, 128});
  tests::PutIndex(broken.ImageHeader(), 0, 0, 5);

  const int live = platform::LiveGdiObjects();
  uint16_t format = 0;
  platform::HBITMAP data;
  platform::HPALETTE palette;
  image.SaveToClipboardFormat(format, data, palette);
  ASSERT_TRUE(data);
  platform::DeleteObject(data);
  EXPECT_EQ(platform::LiveGdiObjects(), live);
  EXPECT_EQ(tests::RaisedClass([&] { broken.SaveToClipboardFormat(format, data, palette); }),
            "EPngError");
  EXPECT_EQ(platform::LiveGdiObjects(), live);
}

}  // namespace
}  // namespace png
