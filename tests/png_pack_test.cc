// Scanline packing: each routine's sample layout, the encode table where it applies, and the
// Adam7 column walk.
#include <gtest/gtest.h>

#include <string>

#include "png/chunk_idat.h"
#include "png/pack.h"
#include "tests/encoder_test_support.h"

namespace tests {
namespace {

constexpr int kPlain = -1;

struct PackCase {
  const char* name;
  uint8_t colour_type;
  uint8_t bit_depth;
  int32_t width;
  int pass;  // kPlain or 0 to 6
  Bytes source;
  Bytes alpha;
  Bytes expected;
};

// Every case runs with the encode table v -> 255 - v, so mapped and unmapped bytes differ.
const PackCase kPackCases[] = {
    {"Rgb8", 2, 8, 1, kPlain, {10, 20, 30}, {}, {225, 235, 245}},
    {"Rgb8Pass", 2, 8, 3, 5, {1, 1, 1, 10, 20, 30, 1, 1, 1}, {}, {225, 235, 245}},
    {"Rgb16", 2, 16, 1, kPlain, {10, 20, 30}, {}, {225, 0, 235, 0, 245, 0}},
    {"RgbAlpha8", 6, 8, 1, kPlain, {10, 20, 30}, {40}, {225, 235, 245, 40}},
    {"RgbAlpha16", 6, 16, 1, kPlain, {10, 20, 30}, {40}, {225, 0, 235, 0, 245, 0, 40, 0}},
    {"RgbAlpha16PassUnmapped", 6, 16, 1, 0, {10, 20, 30}, {40}, {30, 0, 20, 0, 10, 0, 40, 0}},
    {"Grey16", 0, 16, 1, kPlain, {171}, {}, {171, 0}},
    {"Indexed16Pass", 3, 16, 3, 3, {4, 5, 6}, {}, {6, 0}},
    {"GreyAlpha8", 4, 8, 2, kPlain, {3, 5}, {200, 100}, {3, 200, 5, 100}},
    {"GreyAlpha16", 4, 16, 1, kPlain, {3}, {200}, {3, 0, 200, 0}},
    {"GreyAlpha8Pass", 4, 8, 4, 5, {1, 3, 1, 5}, {9, 200, 9, 100}, {3, 200, 5, 100}},
    {"Indexed1CopiesSpareBits", 3, 1, 10, kPlain, {0xB3, 0xFF}, {}, {0xB3, 0xFF}},
    {"Indexed1Pass0", 3, 1, 10, 0, {0xB3, 0xFF}, {}, {0xC0}},
    {"Indexed1Pass6ClearsSpareBits", 3, 1, 10, 6, {0xB3, 0xFF}, {}, {0xB3, 0xC0}},
    {"Indexed4OddPass", 3, 4, 5, 4, {0x12, 0x34, 0x5F}, {}, {0x13, 0x50}},
    {"Grey4Pass", 0, 4, 5, 6, {0x12, 0x34, 0x5F}, {}, {0x12, 0x34, 0x50}},
    {"Indexed8Pass5", 3, 8, 4, 5, {9, 8, 7, 6}, {}, {8, 6}},
};

class Packing : public testing::TestWithParam<PackCase> {};

TEST_P(Packing, WritesTheScanline) {
  const PackCase& c = GetParam();
  auto image = MakeImage(c.colour_type, c.bit_depth, static_cast<uint32_t>(c.width), 1);
  for (int i = 0; i < 256; ++i)
    image->EncodeGammaTable[i] = static_cast<uint8_t>(255 - i);
  png::TChunkIDAT chunk(image.get());
  chunk.HeaderChunk = &image->ImageHeader();
  chunk.PixelWidth = c.width;
  const int32_t pixels = c.pass == kPlain ? c.width : png::Adam7PassWidth(c.pass, c.width);
  chunk.RowSize = png::ScanlineSize(pixels, c.colour_type, c.bit_depth);
  ASSERT_EQ(static_cast<size_t>(chunk.RowSize), c.expected.size());

  const png::Packing packing = png::ChoosePacking(c.colour_type, c.bit_depth);
  Bytes scanline(c.expected.size(), 0xEE);
  if (c.pass == kPlain) {
    packing.row(chunk, c.source.data(), c.alpha.data(), scanline.data());
  } else {
    packing.pass(chunk, static_cast<uint8_t>(c.pass), c.source.data(), c.alpha.data(),
                 scanline.data());
  }
  EXPECT_EQ(scanline, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Routines, Packing, testing::ValuesIn(kPackCases),
                         [](const testing::TestParamInfo<PackCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(PackingChoice, OnlyStandardFamiliesHaveRoutines) {
  for (int colour_type = 0; colour_type < 8; ++colour_type) {
    for (int bit_depth = 0; bit_depth <= 16; ++bit_depth) {
      const bool grey_or_indexed = (colour_type == 0 || colour_type == 3) &&
                                   (bit_depth == 1 || bit_depth == 4 || bit_depth == 8);
      const bool other =
          (colour_type != 1 && colour_type != 5 && colour_type != 7) &&
          (bit_depth == 16 || (colour_type != 0 && colour_type != 3 && bit_depth == 8));
      const png::Packing packing =
          png::ChoosePacking(static_cast<uint8_t>(colour_type), static_cast<uint8_t>(bit_depth));
      EXPECT_EQ(packing.row != nullptr, grey_or_indexed || other)
          << colour_type << "/" << bit_depth;
      EXPECT_EQ(packing.pass != nullptr, packing.row != nullptr);
    }
  }
}

}  // namespace
}  // namespace tests
