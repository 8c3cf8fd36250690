// The platform bitmap: formats, colour tables and pixels shared between assigned bitmaps.
#include <gtest/gtest.h>

#include "platform/bitmap.h"
#include "platform/gdi.h"
#include "platform/gdi_objects.h"
#include "tests/exception_matchers.h"

namespace platform {
namespace {

// A 4 x 3 bitmap in the format with pixel (x, y) set to a colour of its own.
void Paint(TBitmap& bitmap, TPixelFormat format) {
  bitmap.SetPixelFormat(format);
  bitmap.SetWidth(4);
  bitmap.SetHeight(3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x)
      bitmap.Canvas().SetPixels(x, y, RGB(x * 60, y * 100, 255));
  }
}

TEST(Bitmap, AssignedBitmapsKeepTheirOwnPixelsOnceEitherChanges) {
  TBitmap original;
  Paint(original, pf24bit);
  const TColor before = original.Canvas().Pixels(1, 1);

  TBitmap canvas_copy;
  canvas_copy.Assign(original);
  EXPECT_EQ(canvas_copy.Handle(), original.Handle());  // shared until written
  canvas_copy.Canvas().SetPixels(1, 1, RGB(1, 2, 3));
  EXPECT_EQ(canvas_copy.Canvas().Pixels(1, 1), static_cast<TColor>(RGB(1, 2, 3)));
  EXPECT_EQ(original.Canvas().Pixels(1, 1), before);

  TBitmap row_copy;
  row_copy.Assign(original);
  original.ScanLine(1)[3] = 0x7F;  // the original writes this time
  EXPECT_EQ(row_copy.Canvas().Pixels(1, 1), before);

  TBitmap table_copy;
  Paint(original, pf8bit);
  table_copy.Assign(original);
  table_copy.SetColourTable(std::vector<RGBQUAD>(256, RGBQUAD{9, 9, 9, 0}));
  EXPECT_NE(original.ColourTable()[0].rgbBlue, 9);
  EXPECT_EQ(table_copy.Canvas().Pixels(0, 0), static_cast<TColor>(RGB(9, 9, 9)));
}

TEST(Bitmap, PixelsLiveAsLongAsTheLastBitmapSharingThem) {
  const int objects = LiveGdiObjects();
  {
    auto first = std::make_unique<TBitmap>();
    Paint(*first, pf4bit);
    TBitmap second;
    second.Assign(*first);
    const TColor colour = first->Canvas().Pixels(2, 2);
    first.reset();
    EXPECT_EQ(second.Canvas().Pixels(2, 2), colour);
  }
  EXPECT_EQ(LiveGdiObjects(), objects);
}

TEST(Bitmap, SettingTheFormatItHasChangesNothing) {
  TBitmap bitmap;
  Paint(bitmap, pf8bit);
  std::vector<RGBQUAD> table = bitmap.ColourTable();
  table[5] = RGBQUAD{1, 2, 3, 0};
  bitmap.SetColourTable(table);
  const HBITMAP handle = bitmap.Handle();
  bitmap.SetPixelFormat(pf8bit);
  EXPECT_EQ(bitmap.Handle(), handle);
  EXPECT_EQ(bitmap.ColourTable()[5], (RGBQUAD{1, 2, 3, 0}));
  EXPECT_EQ(tests::RaisedClass([&] { bitmap.SetPixelFormat(pfCustom); }), "EInvalidGraphic");
}

}  // namespace
}  // namespace platform
