#include <gtest/gtest.h>

#include <vector>

#include "platform/gdi.h"
#include "platform/gdi_objects.h"
#include "platform/pixel_format.h"

namespace platform {
namespace {

// A memory context with its own bitmap selected; both are deleted with it.
class Surface {
 public:
  explicit Surface(HBITMAP bitmap) : dc_(CreateCompatibleDC(HDC{})), bitmap_(bitmap) {
    previous_ = SelectObject(dc_, bitmap_);
  }
  ~Surface() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  HDC Dc() const { return dc_; }
  COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }
  void Set(int x, int y, COLORREF colour) { SetPixel(dc_, x, y, colour); }
  std::vector<COLORREF> Row(int y, int width) const {
    std::vector<COLORREF> row;
    for (int x = 0; x < width; ++x)
      row.push_back(At(x, y));
    return row;
  }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ previous_;
};

HBITMAP Colour(int width, int height) {
  return CreateBitmap(width, height, 1, 32, nullptr);
}

HBITMAP Monochrome(int width, int height) {
  return CreateBitmap(width, height, 1, 1, nullptr);
}

// A bitmap with the default 8-bit colour table.
HBITMAP Indexed(int width, int height) {
  return AdoptBitmap(Dib::Allocate(width, height, LayoutOf(pf8bit), true));
}

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);
// A colour of the 8-bit default table beyond its first 16 entries.
constexpr COLORREF kSteel = RGB(51, 102, 153);

// Column colours of a one-row source: 10, 20, 30, ...
COLORREF ColumnColour(int x) {
  return RGB(static_cast<uint8_t>(10 * (x + 1)), 0, 0);
}

struct ScaleCase {
  int source_width;
  int dest_width;
  std::vector<int> source_columns;  // the source column each destination column shows
};

class BlitScaling : public testing::TestWithParam<ScaleCase> {};

// Each destination pixel shows the source pixel under its centre.
TEST_P(BlitScaling, StretchBltAndStretchDIBitsPickTheNearestSourcePixel) {
  const ScaleCase& c = GetParam();
  std::vector<COLORREF> expected;
  for (int column : c.source_columns)
    expected.push_back(ColumnColour(column));

  Surface source(Colour(c.source_width, 1));
  for (int x = 0; x < c.source_width; ++x)
    source.Set(x, 0, ColumnColour(x));
  Surface by_context(Colour(c.dest_width, 1));
  ASSERT_TRUE(StretchBlt(by_context.Dc(), 0, 0, c.dest_width, 1, source.Dc(), 0, 0, c.source_width,
                         1, SRCCOPY));
  EXPECT_EQ(by_context.Row(0, c.dest_width), expected);

  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{40, c.source_width, 1, 1, 24, BI_RGB};
  std::vector<uint8_t> bits(static_cast<size_t>(DibStride(c.source_width, 24)));
  for (int x = 0; x < c.source_width; ++x)
    bits[3 * x + 2] = GetRValue(ColumnColour(x));
  Surface by_bits(Colour(c.dest_width, 1));
  StretchDIBits(by_bits.Dc(), 0, 0, c.dest_width, 1, 0, 0, c.source_width, 1, bits.data(), &info,
                DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(by_bits.Row(0, c.dest_width), expected);
}

INSTANTIATE_TEST_SUITE_P(Blit, BlitScaling,
                         testing::Values(ScaleCase{3, 3, {0, 1, 2}}, ScaleCase{2, 4, {0, 0, 1, 1}},
                                         ScaleCase{3, 4, {0, 1, 1, 2}}, ScaleCase{3, 2, {0, 2}},
                                         ScaleCase{5, 2, {1, 3}}));

TEST(BlitMonochrome, ColourToMonochromeSetsPixelsOfTheSourceBackground) {
  Surface source(Colour(3, 1));
  source.Set(0, 0, kRed);
  source.Set(1, 0, kGreen);
  source.Set(2, 0, kRed);
  SetBkColor(source.Dc(), kRed);
  Surface mask(Monochrome(3, 1));
  BitBlt(mask.Dc(), 0, 0, 3, 1, source.Dc(), 0, 0, SRCCOPY);
  // The mask's context shows 1 in its background colour (white) and 0 in its text colour.
  EXPECT_EQ(mask.Row(0, 3), (std::vector<COLORREF>{kWhite, 0, kWhite}));
}

TEST(BlitMonochrome, MonochromeToColourTakesTheDestinationColours) {
  Surface mask(Monochrome(2, 1));
  mask.Set(0, 0, kWhite);  // 1
  Surface dest(Colour(2, 1));
  SetTextColor(dest.Dc(), kBlue);
  SetBkColor(dest.Dc(), kGreen);
  BitBlt(dest.Dc(), 0, 0, 2, 1, mask.Dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(dest.Row(0, 2), (std::vector<COLORREF>{kGreen, kBlue}));
}

struct RopCase {
  const char* name;
  uint32_t rop;
  HBITMAP (*make_dest)();
  std::vector<COLORREF> expected;  // over a destination of steel, red, green, blue
};

// A monochrome source of 1, 0, 1, 0 (white, black in its own context) applied to four
// destination pixels.
TEST(BlitMonochrome, RasterOperationsCombineMasksWithAnyDestination) {
  const RopCase cases[] = {
      {"AND into colour", SRCAND, [] { return Colour(4, 1); }, {kSteel, 0, kGreen, 0}},
      {"AND into 8 bits", SRCAND, [] { return Indexed(4, 1); }, {kSteel, 0, kGreen, 0}},
      {"OR into colour", SRCPAINT, [] { return Colour(4, 1); }, {kWhite, kRed, kWhite, kBlue}},
      {"OR into 8 bits", SRCPAINT, [] { return Indexed(4, 1); }, {kWhite, kRed, kWhite, kBlue}},
      {"NOT into colour", NOTSRCCOPY, [] { return Colour(4, 1); }, {0, kWhite, 0, kWhite}},
      {"NOT into 8 bits", NOTSRCCOPY, [] { return Indexed(4, 1); }, {0, kWhite, 0, kWhite}},
  };
  for (const RopCase& c : cases) {
    Surface mask(Monochrome(4, 1));
    mask.Set(0, 0, kWhite);
    mask.Set(2, 0, kWhite);
    Surface dest(c.make_dest());
    const COLORREF start[] = {kSteel, kRed, kGreen, kBlue};
    for (int x = 0; x < 4; ++x)
      dest.Set(x, 0, start[x]);
    BitBlt(dest.Dc(), 0, 0, 4, 1, mask.Dc(), 0, 0, c.rop);
    EXPECT_EQ(dest.Row(0, 4), c.expected) << c.name;
  }
}

TEST(BlitMonochrome, MasksCombineWithEachOther) {
  Surface source(Monochrome(4, 1));
  source.Set(0, 0, kWhite);
  source.Set(1, 0, kWhite);
  const std::pair<uint32_t, std::vector<COLORREF>> cases[] = {
      {NOTSRCCOPY, {0, 0, kWhite, kWhite}},
      {SRCAND, {kWhite, 0, 0, 0}},
      {SRCPAINT, {kWhite, kWhite, kWhite, 0}},
  };
  for (const auto& [rop, expected] : cases) {
    Surface dest(Monochrome(4, 1));
    dest.Set(0, 0, kWhite);
    dest.Set(2, 0, kWhite);
    BitBlt(dest.Dc(), 0, 0, 4, 1, source.Dc(), 0, 0, rop);
    EXPECT_EQ(dest.Row(0, 4), expected) << rop;
  }
}

// A 1 x 3 DIB whose rows, top to bottom, are red, green and blue.
struct ThreeRowDib {
  explicit ThreeRowDib(bool top_down) {
    info.bmiHeader = BITMAPINFOHEADER{40, 1, top_down ? -3 : 3, 1, 24, BI_RGB};
    const COLORREF rows[] = {kRed, kGreen, kBlue};
    for (int y = 0; y < 3; ++y) {
      uint8_t* pixel = bits + 4 * (top_down ? y : 2 - y);
      pixel[0] = GetBValue(rows[y]);
      pixel[1] = GetGValue(rows[y]);
      pixel[2] = GetRValue(rows[y]);
    }
  }
  BITMAPINFO info{};
  uint8_t bits[12] = {};
};

// Source rectangles start at the DIB's first row in memory: the bottom row of a bottom-up DIB.
TEST(BlitDib, StretchDIBitsDrawsBothRowOrdersUpright) {
  for (const bool top_down : {false, true}) {
    const ThreeRowDib dib(top_down);
    Surface whole(Colour(1, 3));
    EXPECT_EQ(StretchDIBits(whole.Dc(), 0, 0, 1, 3, 0, 0, 1, 3, dib.bits, &dib.info, DIB_RGB_COLORS,
                            SRCCOPY),
              3);
    EXPECT_EQ(whole.At(0, 0), kRed) << top_down;
    EXPECT_EQ(whole.At(0, 1), kGreen) << top_down;
    EXPECT_EQ(whole.At(0, 2), kBlue) << top_down;

    Surface part(Colour(1, 2));
    StretchDIBits(part.Dc(), 0, 0, 1, 2, 0, 0, 1, 2, dib.bits, &dib.info, DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(part.At(0, 0), top_down ? kRed : kGreen) << top_down;
    EXPECT_EQ(part.At(0, 1), top_down ? kGreen : kBlue) << top_down;
  }
}

}  // namespace
}  // namespace platform
