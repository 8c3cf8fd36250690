// The border rule and the crop, on bitmaps made in memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/dib.h"
#include "platform/exception.h"
#include "platform/gdi.h"
#include "trim/border.h"

namespace trim {

void PrintTo(const ContentBox& box, std::ostream* out) {
  *out << "{left " << box.left << ", top " << box.top << ", right " << box.right << ", bottom "
       << box.bottom << "}";
}

}  // namespace trim

namespace {

using platform::COLORREF;
using platform::RGB;
using platform::RGBQUAD;
using platform::TBitmap;
using platform::TPixelFormat;
using trim::ContentBox;

constexpr RGBQUAD Entry(uint8_t red, uint8_t green, uint8_t blue) {
  return RGBQUAD{blue, green, red, 0};
}

std::unique_ptr<TBitmap> NewBitmap(TPixelFormat format, int width, int height,
                                   std::vector<RGBQUAD> colours = {}) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(format);
  if (!colours.empty()) bitmap->SetColourTable(std::move(colours));
  bitmap->SetWidth(width);
  bitmap->SetHeight(height);
  return bitmap;
}

// A bitmap over a DIB section: bit-field layouts the pixel formats do not name, and rows
// kept bottom-up (positive height).
std::unique_ptr<TBitmap> NewSection(int width, int height, int bits, uint32_t red_mask = 0,
                                    uint32_t green_mask = 0, uint32_t blue_mask = 0) {
  platform::BITMAPINFO info;
  info.bmiHeader.biSize = sizeof(platform::BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<uint16_t>(bits);
  info.bmiHeader.biCompression = red_mask != 0 ? platform::BI_BITFIELDS : platform::BI_RGB;
  const uint32_t masks[3] = {red_mask, green_mask, blue_mask};
  std::memcpy(info.bmiColors, masks, sizeof masks);
  void* pixels = nullptr;
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetHandle(platform::CreateDIBSection(platform::HDC{}, &info, platform::DIB_RGB_COLORS,
                                               &pixels, nullptr, 0));
  return bitmap;
}

// Raw pixel values of row y: colour-table indices, or packed 16-, 24- or 32-bit words.
void SetRowValues(TBitmap& bitmap, int y, const std::vector<uint32_t>& values) {
  auto row = platform::Dib::Wrap(bitmap.Width(), 1, bitmap.Layout(), true, bitmap.ScanLine(y));
  platform::WritePixelValues(*row, 0, 0, static_cast<int>(values.size()), values.data());
}

std::vector<uint32_t> RowValues(TBitmap& bitmap, int y) {
  std::vector<uint32_t> values(static_cast<size_t>(bitmap.Width()));
  auto row = platform::Dib::Wrap(bitmap.Width(), 1, bitmap.Layout(), true, bitmap.ScanLine(y));
  platform::ReadPixelValues(*row, 0, 0, bitmap.Width(), values.data());
  return values;
}

// A 24-bit picture drawn with letters, one colour per letter; rows[y][x] is pixel (x, y).
std::unique_ptr<TBitmap> Picture(const std::vector<std::string>& rows) {
  const int height = static_cast<int>(rows.size());
  const int width = height > 0 ? static_cast<int>(rows[0].size()) : 0;
  auto bitmap = NewBitmap(platform::pf24bit, width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint8_t c = static_cast<uint8_t>(rows[y][x]);
      bitmap->Canvas().SetPixels(x, y, RGB(c, static_cast<uint8_t>(c * 3), 40));
    }
  }
  return bitmap;
}

TEST(RunThresholdTest, IsNineTenthsRoundedDown) {
  const struct {
    int64_t n;
    int64_t threshold;
  } kCases[] = {{0, 0},  {1, 0},  {2, 1},   {3, 2},   {4, 3},    {9, 8},
                {10, 9}, {11, 9}, {19, 17}, {20, 18}, {100, 90}, {2147483647, 1932735282}};
  for (const auto& c : kCases)
    EXPECT_EQ(trim::RunThreshold(c.n), c.threshold) << c.n;
}

// Each line is tried as a row of a one-row picture and as a column of a one-column one.
TEST(LineRuleTest, LongestRunDecides) {
  const struct {
    std::string line;
    bool content;
  } kCases[] = {
      {"a", false},            // one pixel: the threshold is 0
      {"ab", false},           // two pixels: threshold 1, every line is border
      {"abc", true},           // threshold 2, no two neighbours alike
      {"aab", false},          //
      {"aaaaaaaaab", false},   // 10 pixels: a run of 9 reaches the threshold
      {"baaaaaaaaa", false},   // the run that ends the line counts too
      {"aaaaaaaabb", true},    // longest run 8
      {"aaaaaaaaabc", false},  // 11 pixels: threshold 9 as for 10
      {"aaaaaaaabcd", true},
      {"aaaabaaaaa", true},                  // 90 % one colour, split into runs of 4 and 5
      {"ab" + std::string(18, 'a'), false},  // a little noise, then a run of 18 of 20
      {std::string(9, 'a') + "b" + std::string(10, 'a'), true},
      // Long lines, read by columns in strips of rows: the threshold is exact there too.
      {"bc" + std::string(270, 'a') + std::string(28, 'b'), false},
      {"bcb" + std::string(269, 'a') + std::string(28, 'c'), true},
  };
  for (const auto& c : kCases) {
    auto row = Picture({c.line});
    EXPECT_EQ(trim::RowHasContent(*row, 0), c.content) << "row " << c.line;
    std::vector<std::string> column;
    for (const char pixel : c.line)
      column.push_back(std::string(1, pixel));
    auto col = Picture(column);
    EXPECT_EQ(trim::ColumnHasContent(*col, 0), c.content) << "column " << c.line;
  }
}

TEST(LineRuleTest, LinesOutsideTheBitmapAreBorder) {
  auto picture = Picture({"abc", "bca", "cab"});
  EXPECT_FALSE(trim::RowHasContent(*picture, -1));
  EXPECT_FALSE(trim::RowHasContent(*picture, 3));
  EXPECT_FALSE(trim::ColumnHasContent(*picture, 3));
}

// Two palette indices of one colour are one colour: the index is never compared.
TEST(LineRuleTest, ComparesColoursNotPaletteIndices) {
  const RGBQUAD grey = Entry(90, 90, 90);
  auto bitmap = NewBitmap(platform::pf8bit, 10, 1, {Entry(0, 0, 0), grey, grey});
  SetRowValues(*bitmap, 0, {1, 1, 1, 1, 2, 2, 2, 2, 2, 0});
  EXPECT_FALSE(trim::RowHasContent(*bitmap, 0));
}

// One pixel layout of the platform, with the bits of a raw value that do not change its
// colour (alpha, unused bits, channel bits below the top 8), which the random pictures
// set at will.
struct LayoutCase {
  const char* name;
  std::function<std::unique_ptr<TBitmap>(int width, int height)> make;
  uint32_t value_mask;
  uint32_t noise_mask;
};

const std::vector<RGBQUAD> kSmallTable = {Entry(200, 10, 10), Entry(10, 200, 10),
                                          Entry(200, 10, 10), Entry(0, 0, 0), Entry(10, 200, 10)};

std::vector<RGBQUAD> DistinctTable(int size) {
  std::vector<RGBQUAD> table;
  for (int i = 0; i < size; ++i)
    table.push_back(Entry(static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7));
  return table;
}

std::vector<LayoutCase> Layouts() {
  using platform::pf15bit, platform::pf16bit, platform::pf1bit, platform::pf24bit,
      platform::pf32bit, platform::pf4bit, platform::pf8bit;
  return {
      {"1 bit",
       [](int w, int h) {
         return NewBitmap(pf1bit, w, h, {Entry(9, 9, 9), Entry(1, 2, 3)});
       },
       0x1, 0},
      // Short tables with repeated colours; indices past the table show black.
      {"4 bit", [](int w, int h) { return NewBitmap(pf4bit, w, h, kSmallTable); }, 0x7, 0},
      {"8 bit", [](int w, int h) { return NewBitmap(pf8bit, w, h, kSmallTable); }, 0x7, 0},
      // Full tables of distinct colours: raw indices compare like colours.
      {"4 bit distinct", [](int w, int h) { return NewBitmap(pf4bit, w, h, DistinctTable(16)); },
       0xF, 0},
      {"8 bit distinct", [](int w, int h) { return NewBitmap(pf8bit, w, h, DistinctTable(256)); },
       0xFF, 0},
      {"5-5-5", [](int w, int h) { return NewBitmap(pf15bit, w, h); }, 0xFFFF, 0x8000},
      {"5-6-5", [](int w, int h) { return NewBitmap(pf16bit, w, h); }, 0xFFFF, 0},
      {"24 bit", [](int w, int h) { return NewBitmap(pf24bit, w, h); }, 0xFFFFFF, 0},
      {"24 bit bottom-up", [](int w, int h) { return NewSection(w, h, 24); }, 0xFFFFFF, 0},
      {"32 bit", [](int w, int h) { return NewBitmap(pf32bit, w, h); }, 0xFFFFFFFF, 0xFF000000},
      {"32 bit red low", [](int w, int h) { return NewSection(w, h, 32, 0xFF, 0xFF00, 0xFF0000); },
       0xFFFFFFFF, 0xFF000000},
      {"32 bit 10-10-10",
       [](int w, int h) { return NewSection(w, h, 32, 0x3FF00000, 0x000FFC00, 0x000003FF); },
       0xFFFFFFFF, 0xC0300C03},
      {"16 bit 4-4-4", [](int w, int h) { return NewSection(w, h, 16, 0x0F00, 0x00F0, 0x000F); },
       0xFFFF, 0xF000},
      {"16 bit gapped masks",
       [](int w, int h) { return NewSection(w, h, 16, 0xA000, 0x0A00, 0x00A0); }, 0xFFFF, 0x5555},
      {"monochrome",
       [](int w, int h) {
         auto bitmap = std::make_unique<TBitmap>();
         bitmap->SetHandle(platform::CreateBitmap(w, h, 1, 1, nullptr));
         return bitmap;
       },
       0x1, 0},
      // The canvas shows both bits of a monochrome bitmap in its two colours.
      {"monochrome in one colour",
       [](int w, int h) {
         auto bitmap = std::make_unique<TBitmap>();
         bitmap->SetHandle(platform::CreateBitmap(w, h, 1, 1, nullptr));
         platform::SetBkColor(bitmap->Canvas().Handle(), RGB(7, 7, 7));
         platform::SetTextColor(bitmap->Canvas().Handle(), RGB(7, 7, 7));
         return bitmap;
       },
       0x1, 0},
  };
}

// Pixel values drawn from three, mostly repeating the left neighbour or the pixel above,
// with random bits that do not count.
void FillRandomly(TBitmap& bitmap, const LayoutCase& layout, std::mt19937& random,
                  bool framed = false) {
  // A frame of the first value, so that the scans pass many border lines first.
  const int width = bitmap.Width();
  const int height = bitmap.Height();
  const int left = framed ? static_cast<int>(random() % (width / 2 + 1)) : 0;
  const int right = framed ? static_cast<int>(random() % (width / 2 + 1)) : 0;
  const int top = framed ? static_cast<int>(random() % (height / 2 + 1)) : 0;
  const int bottom = framed ? static_cast<int>(random() % (height / 2 + 1)) : 0;
  std::vector<uint32_t> pool(3);
  for (uint32_t& value : pool)
    value = static_cast<uint32_t>(random()) & layout.value_mask;
  std::vector<size_t> above;
  for (int y = 0; y < bitmap.Height(); ++y) {
    std::vector<size_t> picks;
    const bool like_above = !above.empty() && random() % 2 == 0;
    for (int x = 0; x < bitmap.Width(); ++x) {
      size_t pick = random() % 3;
      if (like_above && random() % 8 != 0) {
        pick = above[x];
      } else if (x > 0 && random() % 4 != 0) {
        pick = picks.back();
      }
      if (x < left || x >= width - right || y < top || y >= height - bottom) pick = 0;
      picks.push_back(pick);
    }
    std::vector<uint32_t> values;
    for (const size_t pick : picks) {
      values.push_back((pool[pick] & ~layout.noise_mask) |
                       (static_cast<uint32_t>(random()) & layout.noise_mask));
    }
    SetRowValues(bitmap, y, values);
    above = picks;
  }
}

// The rule read through the canvas, one pixel at a time.
bool ReferenceLine(const std::vector<COLORREF>& colours) {
  const int64_t count = trim::RunThreshold(static_cast<int64_t>(colours.size()));
  int64_t run = 1;
  int64_t longest = colours.empty() ? 0 : 1;
  for (size_t i = 1; i < colours.size(); ++i) {
    run = colours[i] == colours[i - 1] ? run + 1 : 1;
    longest = std::max(longest, run);
  }
  return colours.size() >= 2 && longest < count;
}

// Every layout's pixels, read from raw memory, agree with the canvas's colours: lines and
// boxes of random pictures come out as the canvas-based rule says. The larger framed
// pictures take the scans across many blocks of columns and strips of rows.
TEST(LayoutTest, ScansAgreeWithCanvasColours) {
  std::mt19937 random(20240611);
  for (const LayoutCase& layout : Layouts()) {
    for (int round = 0; round < 44; ++round) {
      const bool large = round >= 40;
      const int width =
          large ? 60 + static_cast<int>(random() % 200) : 1 + static_cast<int>(random() % 13);
      const int height =
          large ? 60 + static_cast<int>(random() % 300) : 1 + static_cast<int>(random() % 13);
      auto bitmap = layout.make(width, height);
      ASSERT_EQ(bitmap->Width(), width) << layout.name;
      FillRandomly(*bitmap, layout, random, large);
      std::vector<std::vector<COLORREF>> colours(height, std::vector<COLORREF>(width));
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
          colours[y][x] = bitmap->Canvas().Pixels(x, y);
      }

      std::vector<bool> row_content(height);
      std::vector<bool> column_content(width);
      for (int y = 0; y < height; ++y) {
        row_content[y] = ReferenceLine(colours[y]);
        ASSERT_EQ(trim::RowHasContent(*bitmap, y), row_content[y]) << layout.name << " row " << y;
      }
      for (int x = 0; x < width; ++x) {
        std::vector<COLORREF> column;
        for (int y = 0; y < height; ++y)
          column.push_back(colours[y][x]);
        column_content[x] = ReferenceLine(column);
        ASSERT_EQ(trim::ColumnHasContent(*bitmap, x), column_content[x])
            << layout.name << " column " << x;
      }
      ContentBox expected{0, 0, width - 1, height - 1};
      for (expected.top = 0; expected.top < height - 1 && !row_content[expected.top];)
        ++expected.top;
      for (expected.bottom = height - 1; expected.bottom > 0 && !row_content[expected.bottom];)
        --expected.bottom;
      for (expected.left = 0; expected.left < width - 1 && !column_content[expected.left];)
        ++expected.left;
      for (expected.right = width - 1; expected.right > 0 && !column_content[expected.right];)
        --expected.right;
      ASSERT_EQ(trim::FindContentBox(*bitmap), expected)
          << layout.name << " " << width << " x " << height;
    }
  }
}

std::string VariedRow(int width, int y) {
  std::string row;
  for (int x = 0; x < width; ++x)
    row += static_cast<char>('a' + (x * 7 + y * 3) % 5);
  return row;
}

TEST(ContentBoxTest, PeelsEachSideToTheFirstContentLine) {
  std::vector<std::string> framed(100, std::string(100, 'w'));
  for (int y = 5; y < 95; ++y)
    framed[y].replace(5, 90, VariedRow(90, y));
  std::vector<std::string> two_colours;
  for (int y = 0; y < 10; ++y)
    two_colours.push_back("rrr" + VariedRow(13, y) + "bbbb");

  const struct {
    const char* name;
    std::vector<std::string> rows;
    ContentBox box;
  } kCases[] = {
      {"1 x 1", {"a"}, {0, 0, 0, 0}},
      {"no two neighbours alike", {"abc", "bca", "cab"}, {0, 0, 2, 2}},
      {"5-pixel frame", framed, {5, 5, 94, 94}},
      {"other colours left and right", two_colours, {3, 0, 15, 9}},
      // No content anywhere: the scans end on the far side.
      {"uniform", {"aaaa", "aaaa", "aaaa"}, {3, 2, 0, 0}},
      {"vertical stripes", {"abab", "abab", "abab"}, {3, 0, 0, 2}},
      {"2 pixels high", {"abcabc", "cabcab"}, {5, 0, 0, 1}},
  };
  for (const auto& c : kCases) {
    auto picture = Picture(c.rows);
    EXPECT_EQ(trim::FindContentBox(*picture), c.box) << c.name;
  }
}

TEST(ContentBoxTest, FramedPictureCropsToItsContent) {
  std::vector<std::string> rows(100, std::string(100, 'w'));
  for (int y = 5; y < 95; ++y)
    rows[y].replace(5, 90, VariedRow(90, y));
  auto picture = Picture(rows);
  auto expected = Picture(std::vector<std::string>(rows.begin() + 5, rows.begin() + 95));
  TBitmap cropped;
  trim::CropToBox(*picture, cropped, trim::FindContentBox(*picture));
  ASSERT_EQ(picture->Width(), 90);
  ASSERT_EQ(picture->Height(), 90);
  for (int y = 0; y < 90; ++y) {
    for (int x = 0; x < 90; ++x) {
      ASSERT_EQ(picture->Canvas().Pixels(x, y), expected->Canvas().Pixels(x + 5, y))
          << x << ", " << y;
    }
  }
}

TEST(ContentBoxTest, EmptyBitmapHasAnEmptyBox) {
  TBitmap bitmap;
  EXPECT_EQ(trim::FindContentBox(bitmap), (ContentBox{0, 0, -1, -1}));
  bitmap.SetWidth(4);
  EXPECT_EQ(trim::FindContentBox(bitmap), (ContentBox{3, 0, 0, -1}));
}

// A picture of every pixel format, cropped: the format, colour table, resolution and every
// pixel's raw value and colour survive.
TEST(CropTest, KeepsFormatColourTableAndPixels) {
  std::mt19937 random(7);
  const ContentBox box{2, 1, 9, 5};
  for (const LayoutCase& layout : Layouts()) {
    auto source = layout.make(12, 8);
    if (source->PixelFormat() == platform::pfCustom) continue;
    FillRandomly(*source, layout, random);
    source->SetResolution(platform::BmpResolution{2835, 3780});
    source->SetTransparent(true);
    TBitmap original;
    original.Assign(*source);

    TBitmap dest;
    trim::CropToBox(*source, dest, box);

    EXPECT_EQ(source->PixelFormat(), original.PixelFormat()) << layout.name;
    EXPECT_EQ(source->ColourTable(), original.ColourTable()) << layout.name;
    EXPECT_EQ(source->Resolution().x_pels_per_metre, 2835) << layout.name;
    EXPECT_EQ(source->Resolution().y_pels_per_metre, 3780) << layout.name;
    EXPECT_FALSE(source->Transparent()) << layout.name;
    ASSERT_EQ(source->Width(), 8) << layout.name;
    ASSERT_EQ(source->Height(), 5) << layout.name;
    for (int y = 0; y < 5; ++y) {
      const std::vector<uint32_t> cropped = RowValues(*source, y);
      const std::vector<uint32_t> whole = RowValues(original, y + box.top);
      for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(source->Canvas().Pixels(x, y), original.Canvas().Pixels(x + box.left, y + 1))
            << layout.name << " at " << x << ", " << y;
        EXPECT_EQ(cropped[x], whole[x + box.left]) << layout.name << " at " << x << ", " << y;
      }
    }
  }
}

// A bitmap that owns its pixels is cropped in their own memory; one that shares them is
// copied. Both roads give the same bitmap and the same BMP file, in every layout, at edges
// inside and between bytes of packed pixels.
TEST(CropTest, InPlaceAndCopyGiveTheSameBitmap) {
  std::mt19937 random(99);
  int cropped_in_place = 0;
  for (const LayoutCase& layout : Layouts()) {
    for (int round = 0; round < 6; ++round) {
      const int width = 3 + static_cast<int>(random() % 70);
      const int height = 3 + static_cast<int>(random() % 40);
      auto in_place = layout.make(width, height);
      FillRandomly(*in_place, layout, random);
      ContentBox box;
      box.left = static_cast<int>(random() % width);
      box.right = box.left + static_cast<int>(random() % (width - box.left));
      box.top = static_cast<int>(random() % height);
      box.bottom = box.top + static_cast<int>(random() % (height - box.top));

      // The same picture, shared with a keeper, takes the copy.
      auto copied = layout.make(width, height);
      copied->Assign(*in_place);
      copied->ScanLine(0);  // a writable row: pixels of its own
      TBitmap keeper;
      keeper.Assign(*copied);
      const platform::HBITMAP before = in_place->Handle();
      TBitmap dest_in_place;
      TBitmap dest_copied;
      try {
        trim::CropToBox(*in_place, dest_in_place, box);
      } catch (const platform::EInvalidGraphic&) {
        continue;  // pfCustom: no crop either way
      }
      trim::CropToBox(*copied, dest_copied, box);

      SCOPED_TRACE(std::string(layout.name) + " " + std::to_string(width) + " x " +
                   std::to_string(height));
      if (in_place->Handle() == before) {
        ++cropped_in_place;
        EXPECT_EQ(dest_in_place.Handle(), before);  // shared by both, no second image
      }
      EXPECT_NE(copied->Handle(), keeper.Handle());
      ASSERT_EQ(in_place->Width(), dest_copied.Width());
      ASSERT_EQ(in_place->Height(), dest_copied.Height());
      EXPECT_EQ(in_place->PixelFormat(), dest_copied.PixelFormat());
      for (int y = 0; y < in_place->Height(); ++y) {
        for (int x = 0; x < in_place->Width(); ++x) {
          ASSERT_EQ(in_place->Canvas().Pixels(x, y), dest_copied.Canvas().Pixels(x, y))
              << x << ", " << y;
        }
      }
      platform::TMemoryStream a;
      platform::TMemoryStream b;
      dest_in_place.SaveToStream(a);
      dest_copied.SaveToStream(b);
      EXPECT_EQ(a.Bytes(), b.Bytes());
    }
  }
  EXPECT_GT(cropped_in_place, 40);
}

TEST(CropTest, CustomLayoutRaisesAndLeavesTheSourceAlone) {
  auto source = NewSection(6, 4, 32, 0xFF, 0xFF00, 0xFF0000);
  ASSERT_EQ(source->PixelFormat(), platform::pfCustom);
  SetRowValues(*source, 1, {1, 2, 3, 4, 5, 6});
  TBitmap dest;
  EXPECT_THROW(trim::CropToBox(*source, dest, ContentBox{1, 1, 3, 2}), platform::EInvalidGraphic);
  EXPECT_EQ(source->Width(), 6);
  EXPECT_EQ(source->Height(), 4);
  EXPECT_EQ(source->PixelFormat(), platform::pfCustom);
  EXPECT_EQ(RowValues(*source, 1), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6}));
}

// The scans only read: a bitmap sharing its pixels after an Assign keeps sharing them.
TEST(ContentBoxTest, ScanningLeavesSharedPixelsShared) {
  auto bitmap = NewBitmap(platform::pf24bit, 40, 30);
  TBitmap copy;
  copy.Assign(*bitmap);
  ASSERT_EQ(copy.Handle(), bitmap->Handle());
  trim::FindContentBox(copy);
  EXPECT_EQ(copy.Handle(), bitmap->Handle());
}

}  // namespace
