#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "platform/bitmap.h"
#include "platform/gdi.h"
#include "platform/gdi_objects.h"
#include "png/png_object.h"
#include "tests/exception_matchers.h"
#include "tests/png_memory_image.h"

namespace png {
namespace {

using platform::COLORREF;
using platform::RGB;
using platform::TBitmap;

constexpr COLORREF kBackground = RGB(0, 0, 200);
// In a table of expected colours: the pixel shows what the canvas held.
constexpr COLORREF kShowsBackground = 0xFF000000;
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

std::unique_ptr<TBitmap> CanvasOf(int width, int height, COLORREF fill) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetWidth(width);
  bitmap->SetHeight(height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      bitmap->Canvas().SetPixels(x, y, static_cast<platform::TColor>(fill));
  }
  return bitmap;
}

COLORREF At(TBitmap& bitmap, int x, int y) {
  return static_cast<COLORREF>(bitmap.Canvas().Pixels(x, y));
}

struct KindCase {
  const char* name;
  // Builds a 2 x 2 image.
  void (*build)(TPNGObject& image);
  // Top left, top right, bottom left, bottom right.
  std::array<COLORREF, 4> shows;
};

void PutIndices(TChunkIHDR& header, std::array<uint8_t, 4> indices) {
  for (uint32_t i = 0; i < 4; ++i)
    tests::PutIndex(header, i % 2, i / 2, indices[i]);
}

void PutColours(TChunkIHDR& header, std::array<COLORREF, 4> colours) {
  for (uint32_t i = 0; i < 4; ++i)
    tests::PutColour(header, i % 2, i / 2, colours[i]);
}

const KindCase kKinds[] = {
    {"truecolour",
     [](TPNGObject& image) {
       PutColours(tests::AddHeader(image, 2, 2, 8, 2), {kRed, kGreen, RGB(1, 2, 3), kWhite});
     },
     {kRed, kGreen, RGB(1, 2, 3), kWhite}},
    {"indexed, 1 bit",
     [](TPNGObject& image) {
       TChunkIHDR& header = tests::AddHeader(image, 2, 2, 1, 3);
       tests::AddPalette(image, {RGB(10, 20, 30), RGB(200, 100, 50)});
       PutIndices(header, {0, 1, 1, 0});
     },
     {RGB(10, 20, 30), RGB(200, 100, 50), RGB(200, 100, 50), RGB(10, 20, 30)}},
    {"greyscale, 2 bits at 4",
     [](TPNGObject& image) {
       PutIndices(tests::AddHeader(image, 2, 2, 2, 0), {0, 4, 8, 12});
     },
     {RGB(0, 0, 0), RGB(68, 68, 68), RGB(136, 136, 136), RGB(204, 204, 204)}},
    {"truecolour, key",
     [](TPNGObject& image) {
       PutColours(tests::AddHeader(image, 2, 2, 8, 2), {kRed, kGreen, kRed, kWhite});
       tests::AddKeyColour(image, kRed);
     },
     {kShowsBackground, kGreen, kShowsBackground, kWhite}},
    // A palette without black: the key pixels must not leave a colour behind.
    {"indexed, key",
     [](TPNGObject& image) {
       TChunkIHDR& header = tests::AddHeader(image, 2, 2, 1, 3);
       tests::AddPalette(image, {kRed, kGreen});
       tests::AddTransparency(image, {0});
       PutIndices(header, {0, 1, 1, 0});
     },
     {kShowsBackground, kGreen, kGreen, kShowsBackground}},
    {"greyscale, key",
     [](TPNGObject& image) {
       PutIndices(tests::AddHeader(image, 2, 2, 8, 0), {100, 50, 50, 100});
       tests::AddTransparency(image, {0, 100});
     },
     {kShowsBackground, RGB(50, 50, 50), RGB(50, 50, 50), kShowsBackground}},
    {"truecolour with alpha",
     [](TPNGObject& image) {
       TChunkIHDR& header = tests::AddHeader(image, 2, 2, 8, 6);
       PutColours(header, {kRed, kGreen, kRed, kWhite});
       for (uint32_t i = 0; i < 4; ++i)
         tests::PutAlpha(header, i % 2, i / 2, i == 2 ? 0 : 255);
     },
     {kRed, kGreen, kShowsBackground, kWhite}},
};

class PngDrawKinds : public testing::TestWithParam<KindCase> {};

// Drawn into a 4 x 4 rectangle at (1, 1) of a 6 x 6 canvas: opaque and colour-key images
// scale to the rectangle, alpha images keep their own size at its top-left corner.
TEST_P(PngDrawKinds, DrawsEveryPixelWhereItBelongsAndLeaksNothing) {
  const KindCase& c = GetParam();
  TPNGObject image;
  c.build(image);
  const bool scaled = image.GetTransparencyKind() != TransparencyKind::Alpha;
  const int block = scaled ? 2 : 1;
  auto canvas = CanvasOf(6, 6, kBackground);

  const int live = platform::LiveGdiObjects();
  image.Draw(canvas->Canvas(), platform::Rect(1, 1, 5, 5));
  EXPECT_EQ(platform::LiveGdiObjects(), live);

  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 6; ++x) {
      COLORREF expected = kBackground;
      const int ix = (x - 1) / block;
      const int iy = (y - 1) / block;
      if (x >= 1 && y >= 1 && ix < 2 && iy < 2) {
        expected = c.shows[2 * iy + ix];
        if (expected == kShowsBackground) expected = kBackground;
      }
      EXPECT_EQ(At(*canvas, x, y), expected) << "(" << x << ", " << y << ")";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Png, PngDrawKinds, testing::ValuesIn(kKinds),
                         [](const testing::TestParamInfo<KindCase>& info) {
                           std::string name = info.param.name;
                           for (char& ch : name)
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

// Every image value over every canvas value, in each channel.
TEST(PngDrawAlpha, FullOpacityGivesTheImageAndNoneTheBackgroundExactly) {
  for (const uint8_t alpha : {255, 0}) {
    TPNGObject image;
    TChunkIHDR& header = tests::AddHeader(image, 256, 256, 8, 6);
    auto canvas = CanvasOf(1, 1, 0);
    canvas->SetWidth(256);
    canvas->SetHeight(256);
    for (uint32_t y = 0; y < 256; ++y) {
      for (uint32_t x = 0; x < 256; ++x) {
        const auto s = static_cast<uint8_t>(x);
        const auto d = static_cast<uint8_t>(y);
        tests::PutColour(header, x, y, RGB(s, 255 - s, s));
        tests::PutAlpha(header, x, y, alpha);
        canvas->Canvas().SetPixels(x, y, static_cast<platform::TColor>(RGB(d, d, 255 - d)));
      }
    }
    image.Draw(canvas->Canvas(), platform::Rect(0, 0, 256, 256));
    int wrong = 0;
    for (uint32_t y = 0; y < 256; ++y) {
      for (uint32_t x = 0; x < 256; ++x) {
        const auto s = static_cast<uint8_t>(x);
        const auto d = static_cast<uint8_t>(y);
        const COLORREF expected = alpha == 255 ? RGB(s, 255 - s, s) : RGB(d, d, 255 - d);
        wrong += At(*canvas, static_cast<int>(x), static_cast<int>(y)) != expected;
      }
    }
    EXPECT_EQ(wrong, 0) << "alpha " << int{alpha};
  }
}

struct BlendCase {
  const char* name;
  void (*build)(TPNGObject& image);  // a 1 x 1 image at opacity 128
  COLORREF shows;                    // over RGB(50, 50, 50)
};

TEST(PngDrawAlpha, PartialOpacityMixesTheColourThePixelShows) {
  const BlendCase cases[] = {
      {"truecolour",
       [](TPNGObject& image) {
         TChunkIHDR& header = tests::AddHeader(image, 1, 1, 8, 6);
         tests::PutColour(header, 0, 0, RGB(200, 10, 90));
         tests::PutAlpha(header, 0, 0, 128);
       },
       RGB(125, 30, 70)},
      {"palette",
       [](TPNGObject& image) {
         tests::AddHeader(image, 1, 1, 8, 3);
         tests::AddPalette(image, {RGB(200, 10, 90)});
         tests::AddTransparency(image, {128, 0});
       },
       RGB(125, 30, 70)},
      // The grey ramp holds the corrected level, 220, for sample 200.
      {"greyscale",
       [](TPNGObject& image) {
         TChunkIHDR& header = tests::AddHeader(image, 1, 1, 8, 4);
         header.BufferInfo.bmiColors[200] = platform::RGBQUAD{220, 220, 220, 0};
         tests::PutIndex(header, 0, 0, 200);
         tests::PutAlpha(header, 0, 0, 128);
       },
       RGB(135, 135, 135)},
  };
  for (const BlendCase& c : cases) {
    TPNGObject image;
    c.build(image);
    auto canvas = CanvasOf(1, 1, RGB(50, 50, 50));
    image.Draw(canvas->Canvas(), platform::Rect(0, 0, 1, 1));
    EXPECT_EQ(At(*canvas, 0, 0), c.shows) << c.name;
    EXPECT_EQ(image.GetPixelColour(0, 0),
              c.name == std::string("greyscale") ? RGB(220, 220, 220) : RGB(200, 10, 90))
        << c.name;
  }
}

// Row 0 is opaque red with the spare bits of its byte set too; row 1 is fully transparent.
TEST(PngDrawAlpha, OneBitIndexedRowOfFiveBlendsFivePixels) {
  TPNGObject image;
  TChunkIHDR& header = tests::AddHeader(image, 5, 2, 1, 3);
  tests::AddPalette(image, {kGreen, kRed});
  // Two entries below 255 make palette alphas rather than a key colour.
  tests::AddTransparency(image, {0, 255, 128});
  tests::BufferRow(header, 0)[0] = 0xFF;
  auto canvas = CanvasOf(8, 2, kBackground);
  image.Draw(canvas->Canvas(), platform::Rect(0, 0, 8, 2));
  for (int x = 0; x < 8; ++x) {
    EXPECT_EQ(At(*canvas, x, 0), x < 5 ? kRed : kBackground) << x;
    EXPECT_EQ(At(*canvas, x, 1), kBackground) << x;
  }
}

TEST(PngDrawAlpha, PaletteAlphasWithoutPaletteDrawOpaqueBlack) {
  TPNGObject image;
  TChunkIHDR& header = tests::AddHeader(image, 2, 1, 8, 3);
  tests::AddTransparency(image, {0, 128});
  tests::PutIndex(header, 1, 0, 1);
  auto canvas = CanvasOf(2, 1, kBackground);
  image.Draw(canvas->Canvas(), platform::Rect(0, 0, 2, 1));
  EXPECT_EQ(At(*canvas, 0, 0), 0u);
  EXPECT_EQ(At(*canvas, 1, 0), 0u);
}

TEST(PngDrawAlpha, IndexBeyondThePaletteRaisesAndLeavesTheCanvasAndNoObjects) {
  TPNGObject image;
  TChunkIHDR& header = tests::AddHeader(image, 2, 1, 8, 3);
  tests::AddPalette(image, {kRed, kGreen});
  tests::AddTransparency(image, {0, 128});
  tests::PutIndex(header, 1, 0, 2);
  auto canvas = CanvasOf(2, 1, kBackground);
  const int live = platform::LiveGdiObjects();
  EXPECT_EQ(tests::RaisedMessage([&] { image.Draw(canvas->Canvas(), platform::Rect(0, 0, 2, 1)); }),
            "There is no such palette entry.");
  EXPECT_EQ(platform::LiveGdiObjects(), live);
  EXPECT_EQ(At(*canvas, 0, 0), kBackground);
  EXPECT_EQ(At(*canvas, 1, 0), kBackground);
}

TEST(PngDraw, ImageWithoutHeaderDrawsNothing) {
  TPNGObject image;
  auto canvas = CanvasOf(1, 1, kBackground);
  image.Draw(canvas->Canvas(), platform::Rect(0, 0, 1, 1));
  EXPECT_EQ(At(*canvas, 0, 0), kBackground);
}

}  // namespace
}  // namespace png
