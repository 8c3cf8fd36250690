#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/gdi.h"
#include "platform/gdi_objects.h"
#include "png/png_object.h"
#include "tests/exception_matchers.h"
#include "tests/png_builder.h"
#include "tests/png_memory_image.h"
#include "tests/png_test_support.h"

namespace png {
namespace {

using platform::COLORREF;
using platform::RGB;

constexpr uint32_t kWidth = 9;  // 1-bit rows span two bytes, 4-bit rows five
constexpr uint32_t kHeight = 3;

COLORREF Grey(uint8_t level) {
  return RGB(level, level, level);
}

struct FormatCase {
  const char* name;
  uint8_t colour_type;
  uint8_t bit_depth;
  std::vector<COLORREF> palette;  // indexed images only
  // Colours the image can show.
  std::vector<COLORREF> colours;
};

const FormatCase kFormats[] = {
    {"grey 1", 0, 1, {}, {Grey(0), Grey(255)}},
    {"grey 2", 0, 2, {}, {Grey(0), Grey(68), Grey(85), Grey(255)}},
    {"grey 4", 0, 4, {}, {Grey(17), Grey(170), Grey(255), Grey(0)}},
    {"grey 8", 0, 8, {}, {Grey(1), Grey(128), Grey(254)}},
    {"grey 16", 0, 16, {}, {Grey(3), Grey(200)}},
    {"indexed 1", 3, 1, {RGB(9, 8, 7), RGB(1, 2, 3)}, {RGB(9, 8, 7), RGB(1, 2, 3)}},
    {"indexed 2",
     3,
     2,
     {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(5, 5, 5)},
     {RGB(0, 255, 0), RGB(5, 5, 5), RGB(255, 0, 0), RGB(0, 0, 255)}},
    {"indexed 4", 3, 4, {0, RGB(10, 0, 0), RGB(20, 0, 0), RGB(30, 0, 0)}, {RGB(30, 0, 0), 0}},
    {"indexed 8", 3, 8, {RGB(1, 1, 1), RGB(2, 2, 2), RGB(3, 3, 3)}, {RGB(2, 2, 2), RGB(3, 3, 3)}},
    {"truecolour 8", 2, 8, {}, {RGB(1, 2, 3), RGB(250, 128, 0)}},
    {"truecolour 16", 2, 16, {}, {RGB(0, 0, 1), RGB(255, 255, 255)}},
    {"grey with alpha 8", 4, 8, {}, {Grey(77), Grey(0), Grey(255)}},
    {"grey with alpha 16", 4, 16, {}, {Grey(12), Grey(99)}},
    {"truecolour with alpha 8", 6, 8, {}, {RGB(7, 77, 177), RGB(0, 0, 0)}},
    {"truecolour with alpha 16", 6, 16, {}, {RGB(200, 100, 50), RGB(1, 1, 1)}},
};

class PngPixelFormats : public testing::TestWithParam<FormatCase> {};

// Every pixel is written in one order and read back, then rewritten in the other order with
// the colours shifted: a write that strays into a neighbour shows in one of the two.
TEST_P(PngPixelFormats, WrittenColoursReadBackAndTouchNothingElse) {
  const FormatCase& c = GetParam();
  TPNGObject image;
  TChunkIHDR& header = tests::AddHeader(image, kWidth, kHeight, c.bit_depth, c.colour_type);
  if (!c.palette.empty()) tests::AddPalette(image, c.palette);
  const size_t alpha_size = header.AlphaBuffer ? size_t{kWidth} * kHeight : 0;
  std::vector<uint8_t> alpha(alpha_size);
  for (size_t i = 0; i < alpha_size; ++i)
    alpha[i] = header.AlphaBuffer.get()[i] = static_cast<uint8_t>(i * 7);

  const size_t n = c.colours.size();
  auto colour_at = [&](int x, int y, size_t shift) { return c.colours[(x + 3 * y + shift) % n]; };
  for (const size_t shift : {size_t{0}, size_t{1}}) {
    for (int i = 0; i < static_cast<int>(kWidth * kHeight); ++i) {
      const int at = shift == 0 ? i : static_cast<int>(kWidth * kHeight) - 1 - i;
      const int x = at % static_cast<int>(kWidth);
      const int y = at / static_cast<int>(kWidth);
      image.SetPixelColour(x, y, colour_at(x, y, shift));
    }
    for (int y = 0; y < static_cast<int>(kHeight); ++y) {
      for (int x = 0; x < static_cast<int>(kWidth); ++x) {
        EXPECT_EQ(image.GetPixelColour(x, y), colour_at(x, y, shift))
            << "(" << x << ", " << y << ") pass " << shift;
      }
    }
  }
  if (alpha_size != 0) {
    EXPECT_EQ(std::memcmp(header.AlphaBuffer.get(), alpha.data(), alpha_size), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Png, PngPixelFormats, testing::ValuesIn(kFormats),
                         [](const testing::TestParamInfo<FormatCase>& info) {
                           std::string name = info.param.name;
                           for (char& ch : name)
                             if (ch == ' ') ch = '_';
                           return name;
                         });

std::vector<uint8_t> BufferBytes(const TChunkIHDR& header) {
  if (header.PixelBuffer == nullptr) return {};
  return std::vector<uint8_t>(
      header.PixelBuffer,
      header.PixelBuffer + static_cast<size_t>(header.RowStride) * header.Height);
}

TEST(PngPixelAccess, CoordinatesOutsideTheImageReadZeroAndWriteNothing) {
  TPNGObject image;
  TChunkIHDR& header = tests::AddHeader(image, 3, 2, 8, 2);
  tests::PutColour(header, 2, 1, RGB(1, 2, 3));
  const std::vector<uint8_t> before = BufferBytes(header);
  const std::pair<int, int> outside[] = {{-1, 0}, {3, 0}, {0, -1}, {0, 2}, {-1, -1}, {3, 2}};
  for (const auto& [x, y] : outside) {
    EXPECT_EQ(image.GetPixelColour(x, y), 0u) << x << ", " << y;
    image.SetPixelColour(x, y, RGB(255, 255, 255));
  }
  EXPECT_EQ(BufferBytes(header), before);
  EXPECT_EQ(image.GetPixelColour(2, 1), RGB(1, 2, 3));
}

TEST(PngPixelAccess, ImagesWithoutPixelsReadZeroAndWriteNothing) {
  struct Empty {
    const char* name;
    uint32_t width, height;
    uint8_t bit_depth, colour_type;
  };
  const Empty cases[] = {
      {"colour type 5", 2, 2, 8, 5},
      {"greyscale of 3 bits", 2, 2, 3, 0},
      {"greyscale with alpha of 3 bits", 2, 2, 3, 4},
      {"width 0", 0, 2, 8, 2},
      {"height 0", 2, 0, 8, 2},
  };
  for (const Empty& c : cases) {
    TPNGObject image;
    tests::AddHeader(image, c.width, c.height, c.bit_depth, c.colour_type);
    image.SetPixelColour(1, 1, RGB(255, 255, 255));
    image.SetPixelColour(0, 0, RGB(255, 255, 255));
    EXPECT_EQ(image.GetPixelColour(0, 0), 0u) << c.name;
  }
  TPNGObject no_header;
  no_header.SetPixelColour(0, 0, RGB(255, 255, 255));
  EXPECT_EQ(no_header.GetPixelColour(0, 0), 0u);
}

// The colour table holds gamma-corrected colours; reading applies no second correction.
TEST(PngPixelAccess, ReadsTheColourTheDrawingShows) {
  TPNGObject grey;
  TChunkIHDR& grey_header = tests::AddHeader(grey, 1, 1, 8, 0);
  grey_header.BufferInfo.bmiColors[100] = platform::RGBQUAD{150, 150, 150, 0};
  tests::PutIndex(grey_header, 0, 0, 100);
  TPNGObject indexed;
  tests::AddHeader(indexed, 1, 1, 8, 3);
  tests::AddPalette(indexed, {RGB(10, 20, 30)});
  for (TPNGObject* image : {&grey, &indexed}) {
    for (int i = 0; i < 256; ++i)
      image->DecodeGammaTable[i] = static_cast<uint8_t>(255 - i);
  }
  EXPECT_EQ(grey.GetPixelColour(0, 0), Grey(150));
  EXPECT_EQ(indexed.GetPixelColour(0, 0), RGB(10, 20, 30));
}

struct LoadedCase {
  const char* name;
  tests::Bytes file;
};

// Decoded files, gamma-corrected ones among them: each pixel reads as the colour it shows
// when the image is drawn at its own size (every alpha is 255).
TEST(PngPixelAccess, LoadedImagesReadTheColoursTheyDraw) {
  using tests::PngBuilder;
  const tests::Bytes gamma = tests::Be32(100000);
  const tests::Bytes palette = {255, 0, 0, 0, 128, 0, 10, 20, 30, 250, 250, 250};
  const LoadedCase cases[] = {
      {"grey 2", PngBuilder().Ihdr(4, 1, 2, 0).Idat({0, 0x1B}).Iend().Data()},
      {"grey 16", PngBuilder().Ihdr(2, 1, 16, 0).Idat({0, 0x12, 0x34, 0xAB, 0xCD}).Iend().Data()},
      {"grey 8 with gamma",
       PngBuilder().Ihdr(3, 1, 8, 0).Chunk("gAMA", gamma).Idat({0, 1, 64, 200}).Iend().Data()},
      {"grey with alpha 8", PngBuilder()
                                .Ihdr(2, 1, 8, 4)
                                .Chunk("gAMA", gamma)
                                .Idat({0, 100, 255, 7, 255})
                                .Iend()
                                .Data()},
      {"grey with alpha 16",
       PngBuilder().Ihdr(1, 1, 16, 4).Idat({0, 0x80, 0x01, 0xFF, 0xFF}).Iend().Data()},
      {"indexed 2 with gamma", PngBuilder()
                                   .Ihdr(3, 1, 2, 3)
                                   .Chunk("gAMA", gamma)
                                   .Chunk("PLTE", palette)
                                   .Idat({0, 0xD8})
                                   .Iend()
                                   .Data()},
      {"truecolour 16", PngBuilder().Ihdr(1, 1, 16, 2).Idat({0, 1, 2, 3, 4, 5, 6}).Iend().Data()},
      {"truecolour with alpha",
       PngBuilder().Ihdr(1, 1, 8, 6).Chunk("gAMA", gamma).Idat({0, 9, 99, 199, 255}).Iend().Data()},
  };
  for (const LoadedCase& c : cases) {
    auto image = tests::LoadPng(c.file);
    platform::TBitmap canvas;
    canvas.SetWidth(image->Width());
    canvas.SetHeight(image->Height());
    image->Draw(canvas.Canvas(), platform::Rect(0, 0, image->Width(), image->Height()));
    for (int x = 0; x < image->Width(); ++x) {
      EXPECT_EQ(image->GetPixelColour(x, 0), static_cast<COLORREF>(canvas.Canvas().Pixels(x, 0)))
          << c.name << " at " << x;
    }
  }
}

TEST(PngPixelAccess, IndexedPixelsOutsideThePalette) {
  TPNGObject image;
  TChunkIHDR& header = tests::AddHeader(image, 2, 1, 8, 3);
  tests::PutIndex(header, 1, 0, 1);
  EXPECT_EQ(image.GetPixelColour(1, 0), 0u) << "no palette chunk: black";
  tests::AddPalette(image, {RGB(1, 2, 3)});
  EXPECT_EQ(tests::RaisedMessage([&] { image.GetPixelColour(1, 0); }),
            "There is no such palette entry.");
}

// The nearest of all 256 palette entries would be black at index 2, which one bit cannot hold;
// of the two entries the pixel can hold, blue is nearer to black.
TEST(PngPixelAccess, ColourOutsideThePaletteTakesTheNearestEntryThePixelCanHold) {
  TPNGObject image;
  TChunkIHDR& header = tests::AddHeader(image, 8, 1, 1, 3);
  tests::AddPalette(image, {RGB(200, 0, 0), RGB(0, 0, 100)});
  tests::PutIndex(header, 3, 0, 1);
  image.SetPixelColour(2, 0, RGB(0, 0, 0));
  image.SetPixelColour(4, 0, RGB(0, 0, 0));
  EXPECT_EQ(tests::BufferRow(header, 0)[0], 0x38);  // pixels 2, 3 and 4
  EXPECT_EQ(image.GetPixelColour(4, 0), RGB(0, 0, 100));
}

TEST(PngPixelAccess, RowZeroIsTheBufferLastRow) {
  TPNGObject image;
  TChunkIHDR& header = tests::AddHeader(image, 5, 3, 8, 2);
  EXPECT_EQ(image.GetRowAddress(0), header.PixelBuffer + 2 * header.RowStride);
  EXPECT_EQ(image.GetRowAddress(2), header.PixelBuffer);
}

TEST(PngPalette, IndexedAndGreyscaleImagesShareOneHandleOfTheirColourTable) {
  TPNGObject image;
  tests::AddHeader(image, 1, 1, 8, 3);
  tests::AddPalette(image, {RGB(1, 2, 3), RGB(4, 5, 6)});
  const platform::HPALETTE palette = image.GetPalette();
  ASSERT_TRUE(palette);
  EXPECT_EQ(image.GetPalette(), palette);
  EXPECT_EQ(image.Palette(), palette);
  platform::PALETTEENTRY entries[256];
  ASSERT_EQ(platform::GetPaletteEntries(palette, 0, 256, entries), 256u);
  EXPECT_EQ(entries[1].peRed, 4);
  EXPECT_EQ(entries[1].peBlue, 6);
  EXPECT_EQ(entries[2].peRed, 0);

  // A new buffer deletes the handle it no longer matches.
  const int live = platform::LiveGdiObjects();
  image.ImageHeader().AllocateImageBuffer();
  EXPECT_EQ(platform::LiveGdiObjects(), live - 1);

  TPNGObject grey;
  tests::AddHeader(grey, 1, 1, 4, 0);
  EXPECT_TRUE(grey.GetPalette());
}

TEST(PngPalette, TruecolourHasNoneAndNoHeaderRaises) {
  TPNGObject truecolour;
  tests::AddHeader(truecolour, 1, 1, 8, 2);
  EXPECT_FALSE(truecolour.GetPalette());
  TPNGObject empty;
  EXPECT_EQ(tests::RaisedClass([&] { empty.GetPalette(); }), "EPNGHeaderNotPresent");
}

}  // namespace
}  // namespace png
