#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/bmp.h"
#include "platform/bytes.h"
#include "platform/dib.h"
#include "platform/exception.h"
#include "platform/stream.h"
#include "tests/bmp_builder.h"

namespace {

using platform::BI_ALPHABITFIELDS;
using platform::BI_BITFIELDS;
using platform::BI_RGB;
using platform::BI_RLE4;
using platform::BI_RLE8;
using platform::BmpResolution;
using platform::Dib;
using platform::DibFormat;
using platform::RGBQUAD;
using tests::BmpFixture;
using tests::BuildBmp;
using tests::PackRows;
using tests::TestColours;
using Rows = std::vector<std::vector<uint32_t>>;

std::unique_ptr<Dib> Read(const std::vector<uint8_t>& bytes, BmpResolution* resolution = nullptr) {
  platform::TMemoryStream stream(bytes);
  return platform::ReadBmp(stream, resolution);
}

std::vector<uint8_t> Write(const Dib& dib, const BmpResolution& resolution = {}) {
  platform::TMemoryStream stream;
  platform::WriteBmp(stream, dib, resolution);
  return stream.Bytes();
}

// Pixel values, top row first.
Rows Pixels(const Dib& dib) {
  Rows rows(static_cast<size_t>(dib.Height()), std::vector<uint32_t>(dib.Width()));
  for (int y = 0; y < dib.Height(); ++y) {
    platform::ReadPixelValues(dib, y, 0, dib.Width(), rows[y].data());
  }
  return rows;
}

// Varied values that fill every bit of a pixel of the depth.
Rows SomeValues(int bits, int width, int height) {
  const uint32_t limit = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
  Rows rows(static_cast<size_t>(height), std::vector<uint32_t>(width));
  uint32_t state = 12345;
  for (auto& row : rows) {
    for (auto& value : row) {
      state = state * 1103515245u + 12345u;
      value = (state ^ (state >> 13) ^ (state << 7)) & limit;
    }
  }
  return rows;
}

Rows Reversed(Rows rows) {
  return Rows(rows.rbegin(), rows.rend());
}

DibFormat MaskFormat(int bits, uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha = 0) {
  DibFormat format = platform::DirectFormat(bits);
  format.red_mask = red;
  format.green_mask = green;
  format.blue_mask = blue;
  format.alpha_mask = alpha;
  format.bitfields = true;
  return format;
}

void ExpectFormat(const DibFormat& expected, const DibFormat& actual) {
  EXPECT_EQ(expected.bits, actual.bits);
  EXPECT_EQ(expected.red_mask, actual.red_mask);
  EXPECT_EQ(expected.green_mask, actual.green_mask);
  EXPECT_EQ(expected.blue_mask, actual.blue_mask);
  EXPECT_EQ(expected.alpha_mask, actual.alpha_mask);
  EXPECT_EQ(expected.bitfields, actual.bitfields);
  EXPECT_EQ(expected.colours, actual.colours);
}

// ---- Round trips through the writer ----

struct RoundTripCase {
  const char* name;
  DibFormat format;
  uint32_t compression;   // what the writer must record
  uint32_t colours_used;  // what the writer must record
};

std::vector<RoundTripCase> RoundTripCases() {
  DibFormat rgb555_fields = platform::DirectFormat(16);
  rgb555_fields.bitfields = true;
  return {
      {"Bits1", platform::IndexedFormat(1, TestColours(2)), BI_RGB, 0},
      {"Bits4Full", platform::IndexedFormat(4, TestColours(16)), BI_RGB, 0},
      {"Bits4Short", platform::IndexedFormat(4, TestColours(5)), BI_RGB, 5},
      {"Bits8Full", platform::IndexedFormat(8, TestColours(256)), BI_RGB, 0},
      {"Bits8Short", platform::IndexedFormat(8, TestColours(20)), BI_RGB, 20},
      {"Rgb555", platform::DirectFormat(16), BI_RGB, 0},
      {"Rgb555Fields", rgb555_fields, BI_RGB, 0},
      {"Rgb565", platform::Rgb565Format(), BI_BITFIELDS, 0},
      {"Rgb444", MaskFormat(16, 0x0F00, 0x00F0, 0x000F), BI_BITFIELDS, 0},
      {"Bits24", platform::DirectFormat(24), BI_RGB, 0},
      {"Bits32", platform::DirectFormat(32), BI_RGB, 0},
      {"Bits32Fields", MaskFormat(32, 0x3FF00000, 0x000FFC00, 0x000003FF), BI_BITFIELDS, 0},
  };
}

void PrintTo(const RoundTripCase& c, std::ostream* os) {
  *os << c.name;
}

class BmpRoundTrip : public testing::TestWithParam<std::tuple<RoundTripCase, bool>> {};

TEST_P(BmpRoundTrip, KeepsPixelsFormatAndResolution) {
  const auto& [c, top_down] = GetParam();
  constexpr int kWidth = 13;  // odd, so rows carry padding at every depth
  constexpr int kHeight = 4;
  auto source = Dib::Allocate(kWidth, kHeight, c.format, top_down);
  ASSERT_TRUE(source);
  const Rows values = SomeValues(c.format.bits, kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y) {
    platform::WritePixelValues(*source, y, 0, kWidth, values[y].data());
  }

  const std::vector<uint8_t> bytes = Write(*source, {2835, -7});
  const uint8_t* info = bytes.data() + 14;
  const int64_t image_size = platform::DibStride(kWidth, c.format.bits) * kHeight;
  EXPECT_EQ(platform::LoadLe32(bytes.data() + 2), bytes.size());
  EXPECT_EQ(platform::LoadLe32(bytes.data() + 10) + image_size, bytes.size());
  EXPECT_EQ(platform::LoadLe32(info), 40u);
  EXPECT_EQ(static_cast<int32_t>(platform::LoadLe32(info + 8)), kHeight);  // bottom-up
  EXPECT_EQ(platform::LoadLe32(info + 16), c.compression);
  EXPECT_EQ(platform::LoadLe32(info + 20), image_size);
  EXPECT_EQ(platform::LoadLe32(info + 32), c.colours_used);

  BmpResolution resolution;
  auto read = Read(bytes, &resolution);
  EXPECT_FALSE(read->TopDown());
  EXPECT_EQ(read->Width(), kWidth);
  EXPECT_EQ(read->Height(), kHeight);
  DibFormat expected = c.format;
  // A 5-5-5 layout is the plain 16-bit one, however it was declared.
  if (c.compression == BI_RGB) expected.bitfields = false;
  ExpectFormat(expected, read->Format());
  EXPECT_EQ(Pixels(*read), values);
  EXPECT_EQ(resolution.x_pels_per_metre, 2835);
  EXPECT_EQ(resolution.y_pels_per_metre, -7);
  EXPECT_EQ(Write(*read, resolution), bytes);
}

INSTANTIATE_TEST_SUITE_P(Bmp, BmpRoundTrip,
                         testing::Combine(testing::ValuesIn(RoundTripCases()), testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) ? "TopDown" : "BottomUp");
                         });

TEST(BmpWriter, IndexedDibWithoutColoursGetsFullBlackTable) {
  auto dib = Dib::Allocate(3, 1, platform::IndexedFormat(4, {}), false);
  const std::vector<uint8_t> bytes = Write(*dib);
  EXPECT_EQ(platform::LoadLe32(bytes.data() + 14 + 32), 0u);
  EXPECT_EQ(Read(bytes)->Format().colours, std::vector<RGBQUAD>(16));
}

// ---- Header kinds and layouts ----

struct HeaderCase {
  const char* name;
  BmpFixture fixture;  // without pixels; 3x2 of SomeValues are added
  DibFormat expected;
  BmpResolution resolution;
};

std::vector<HeaderCase> HeaderCases() {
  auto fixture = [](uint32_t size, uint16_t bits, uint32_t compression,
                    std::vector<uint32_t> masks = {}, std::vector<RGBQUAD> colours = {}) {
    BmpFixture f;
    f.header_size = size;
    f.width = 3;
    f.height = 2;
    f.bits = bits;
    f.compression = compression;
    f.x_pels_per_metre = 3780;
    f.y_pels_per_metre = 2834;
    f.masks = std::move(masks);
    f.colours = std::move(colours);
    return f;
  };
  const BmpResolution set{3780, 2834};
  const std::vector<uint32_t> argb = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
  return {
      {"Core1",
       fixture(12, 1, BI_RGB, {}, TestColours(2)),
       platform::IndexedFormat(1, TestColours(2)),
       {}},
      {"Core8",
       fixture(12, 8, BI_RGB, {}, TestColours(256)),
       platform::IndexedFormat(8, TestColours(256)),
       {}},
      {"Core24", fixture(12, 24, BI_RGB), platform::DirectFormat(24), {}},
      // The shortest OS/2 2.x header stops before the resolution fields.
      {"Os2Short",
       fixture(16, 4, BI_RGB, {}, TestColours(16)),
       platform::IndexedFormat(4, TestColours(16)),
       {}},
      {"Os2Full", fixture(64, 8, BI_RGB, {}, TestColours(256)),
       platform::IndexedFormat(8, TestColours(256)), set},
      {"Info24", fixture(40, 24, BI_RGB), platform::DirectFormat(24), set},
      {"Info16", fixture(40, 16, BI_RGB), platform::DirectFormat(16), set},
      {"InfoFields16", fixture(40, 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}),
       platform::Rgb565Format(), set},
      {"InfoAlphaFields32", fixture(40, 32, BI_ALPHABITFIELDS, argb),
       MaskFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), set},
      {"V2Fields16", fixture(52, 16, BI_BITFIELDS, {0x7C00, 0x03E0, 0x001F}),
       MaskFormat(16, 0x7C00, 0x03E0, 0x001F), set},
      {"V2AlphaFields16", fixture(52, 16, BI_ALPHABITFIELDS, {0x0F00, 0x00F0, 0x000F, 0xF000}),
       MaskFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000), set},
      {"V3Fields32", fixture(56, 32, BI_BITFIELDS, argb),
       MaskFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), set},
      {"V4Fields32", fixture(108, 32, BI_BITFIELDS, {0xFF, 0xFF00, 0xFF0000, 0}),
       MaskFormat(32, 0xFF, 0xFF00, 0xFF0000), set},
      {"V5Fields16", fixture(124, 16, BI_BITFIELDS, {0x0F00, 0x00F0, 0x000F, 0xF000}),
       MaskFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000), set},
      // Masks in a header whose compression is BI_RGB are not the layout.
      {"V5Rgb32", fixture(124, 32, BI_RGB, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}),
       platform::DirectFormat(32), set},
  };
}

void PrintTo(const HeaderCase& c, std::ostream* os) {
  *os << c.name;
}

class BmpHeaderKinds : public testing::TestWithParam<HeaderCase> {};

TEST_P(BmpHeaderKinds, ReadsFormatPixelsAndResolution) {
  const HeaderCase& c = GetParam();
  BmpFixture fixture = c.fixture;
  const Rows file_rows = SomeValues(fixture.bits, fixture.width, fixture.height);
  fixture.pixels = PackRows(fixture.bits, file_rows);
  BmpResolution resolution{-1, -1};
  auto dib = Read(BuildBmp(fixture), &resolution);
  EXPECT_FALSE(dib->TopDown());
  ExpectFormat(c.expected, dib->Format());
  EXPECT_EQ(Pixels(*dib), Reversed(file_rows));
  EXPECT_EQ(resolution.x_pels_per_metre, c.resolution.x_pels_per_metre);
  EXPECT_EQ(resolution.y_pels_per_metre, c.resolution.y_pels_per_metre);
}

INSTANTIATE_TEST_SUITE_P(Bmp, BmpHeaderKinds, testing::ValuesIn(HeaderCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BmpReader, KeepsTopDownRows) {
  BmpFixture f;
  f.width = 5;
  f.height = -3;
  f.bits = 8;
  f.colours = TestColours(256);
  const Rows file_rows = SomeValues(8, 5, 3);
  f.pixels = PackRows(8, file_rows);
  auto dib = Read(BuildBmp(f));
  EXPECT_TRUE(dib->TopDown());
  EXPECT_EQ(dib->Height(), 3);
  EXPECT_EQ(Pixels(*dib), file_rows);
}

TEST(BmpReader, ShortColourTableShowsBlackBeyondIt) {
  BmpFixture f;
  f.width = 6;
  f.bits = 8;
  f.colours_used = 3;
  f.colours = TestColours(3);
  f.pixels = PackRows(8, {{0, 1, 2, 3, 4, 255}});
  auto dib = Read(BuildBmp(f));
  ASSERT_EQ(dib->Format().colours, TestColours(3));
  const RGBQUAD c = TestColours(3)[2];
  EXPECT_EQ(platform::ValueToColour(dib->Format(), 2),
            platform::RGB(c.rgbRed, c.rgbGreen, c.rgbBlue));
  EXPECT_EQ(platform::ValueToColour(dib->Format(), 3), 0u);
  EXPECT_EQ(Pixels(*dib), (Rows{{0, 1, 2, 3, 4, 255}}));
}

TEST(BmpReader, TableLongerThanTheDepthKeepsTheDepthsEntries) {
  BmpFixture f;
  f.width = 2;
  f.bits = 1;
  f.colours_used = 4;
  f.colours = TestColours(4);
  f.pixels = PackRows(1, {{1, 0}});
  auto dib = Read(BuildBmp(f));
  EXPECT_EQ(dib->Format().colours, TestColours(2));
  EXPECT_EQ(Pixels(*dib), (Rows{{1, 0}}));
}

TEST(BmpReader, HonoursOffsetAfterGapAndStreamPosition) {
  BmpFixture f;
  f.width = 3;
  f.height = 2;
  f.bits = 4;
  f.colours = TestColours(16);
  f.gap = 10;
  const Rows file_rows = SomeValues(4, 3, 2);
  f.pixels = PackRows(4, file_rows);
  std::vector<uint8_t> bytes = {1, 2, 3, 4, 5};
  const std::vector<uint8_t> bmp = BuildBmp(f);
  bytes.insert(bytes.end(), bmp.begin(), bmp.end());
  platform::TMemoryStream stream(bytes);
  stream.SetPosition(5);
  auto dib = platform::ReadBmp(stream, nullptr);
  EXPECT_EQ(Pixels(*dib), Reversed(file_rows));
}

// ---- RLE ----

struct RleCase {
  const char* name;
  uint16_t bits;
  int32_t width;
  int32_t height;
  std::vector<uint8_t> data;
  Rows expected;  // top row first
};

std::vector<RleCase> RleCases() {
  return {
      {"Rle8RunsAbsoluteAndDelta",
       8,
       5,
       3,
       {0x03, 7, 0x02, 9, 0,    0,                 // bottom row: runs, end of line
        0,    3, 1,    2, 3,    0, 0x02, 4, 0, 0,  // absolute run with pad byte, then a run
        0,    2, 2,    0, 0x01, 5, 0,    1},       // delta right, one pixel, end of bitmap
       {{0, 0, 5, 0, 0}, {1, 2, 3, 4, 4}, {7, 7, 7, 9, 9}}},
      {"Rle8DeltaAcrossRows",
       8,
       4,
       3,
       {0x01, 1, 0, 2, 1, 2, 0x02, 8, 0, 1},
       {{0, 0, 8, 8}, {0, 0, 0, 0}, {1, 0, 0, 0}}},
      {"Rle8EarlyEndLeavesZeros", 8, 3, 2, {0x03, 4, 0, 1}, {{0, 0, 0}, {4, 4, 4}}},
      {"Rle8EndOfLineOnLastRow", 8, 2, 1, {0x02, 5, 0, 0, 0, 1}, {{5, 5}}},
      {"Rle8AbsoluteEven", 8, 4, 1, {0, 4, 9, 8, 7, 6, 0, 1}, {{9, 8, 7, 6}}},
      {"Rle4RunsAndAbsolute",
       4,
       5,
       2,
       {0x05, 0x12, 0, 0, 0, 3, 0xAB, 0xC0, 0x02, 0xDD, 0, 1},
       {{0xA, 0xB, 0xC, 0xD, 0xD}, {1, 2, 1, 2, 1}}},
      {"Rle4AbsoluteWithPad",
       4,
       6,
       1,
       {0, 5, 0x12, 0x34, 0x50, 0, 0x01, 0xF0, 0, 1},
       {{1, 2, 3, 4, 5, 0xF}}},
      {"Rle4Delta", 4, 4, 2, {0, 2, 3, 1, 0x01, 0x70, 0, 1}, {{0, 0, 0, 7}, {0, 0, 0, 0}}},
  };
}

BmpFixture RleFixture(uint16_t bits, int32_t width, int32_t height, std::vector<uint8_t> data) {
  BmpFixture f;
  f.width = width;
  f.height = height;
  f.bits = bits;
  f.compression = bits == 8 ? BI_RLE8 : BI_RLE4;
  f.colours = TestColours(1 << bits);
  f.pixels = std::move(data);
  return f;
}

void PrintTo(const RleCase& c, std::ostream* os) {
  *os << c.name;
}

class BmpRle : public testing::TestWithParam<RleCase> {};

TEST(BmpRleSize, BlankPictureUpTo16MegapixelsNeedsNoData) {
  auto dib = Read(BuildBmp(RleFixture(8, 4096, 4096, {0, 1})));
  ASSERT_NE(dib, nullptr);
  EXPECT_EQ(dib->Row(4095)[4095], 0);
}

TEST_P(BmpRle, Decodes) {
  const RleCase& c = GetParam();
  auto dib = Read(BuildBmp(RleFixture(c.bits, c.width, c.height, c.data)));
  EXPECT_FALSE(dib->TopDown());
  ExpectFormat(platform::IndexedFormat(c.bits, TestColours(1 << c.bits)), dib->Format());
  EXPECT_EQ(Pixels(*dib), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Bmp, BmpRle, testing::ValuesIn(RleCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Refused input ----

struct BadCase {
  std::string name;
  std::vector<uint8_t> bytes;
};

BmpFixture Rgb24() {
  BmpFixture f;
  f.width = 2;
  f.height = 2;
  f.pixels = PackRows(24, SomeValues(24, 2, 2));
  return f;
}

BmpFixture Indexed8() {
  BmpFixture f;
  f.width = 2;
  f.height = 2;
  f.bits = 8;
  f.colours_used = 4;
  f.colours = TestColours(4);
  f.pixels = PackRows(8, {{0, 1}, {2, 3}});
  return f;
}

BmpFixture Fields16(uint32_t header_size, std::vector<uint32_t> masks) {
  BmpFixture f = Rgb24();
  f.header_size = header_size;
  f.bits = 16;
  f.compression = BI_BITFIELDS;
  f.masks = std::move(masks);
  f.pixels = PackRows(16, SomeValues(16, 2, 2));
  return f;
}

std::vector<BadCase> BadCases() {
  std::vector<BadCase> cases;
  auto add = [&](std::string name, const BmpFixture& f) { cases.push_back({name, BuildBmp(f)}); };
  auto with = [](BmpFixture f, auto change) {
    change(f);
    return f;
  };

  std::vector<uint8_t> not_bm = BuildBmp(Rgb24());
  not_bm[1] = 'A';
  cases.push_back({"NotBM", not_bm});
  cases.push_back({"Empty", {}});
  for (uint32_t size : {0u, 4u, 11u, 13u, 15u, 65u, 100u, 125u, 200u}) {
    add("HeaderSize" + std::to_string(size), with(Rgb24(), [&](auto& f) { f.header_size = size; }));
  }
  add("Planes0", with(Rgb24(), [](auto& f) { f.planes = 0; }));
  add("Planes2", with(Rgb24(), [](auto& f) { f.planes = 2; }));
  for (uint16_t bits : {0, 2, 3, 12, 48, 64}) {
    add("Bits" + std::to_string(bits), with(Rgb24(), [&](auto& f) { f.bits = bits; }));
  }
  add("ZeroWidth", with(Rgb24(), [](auto& f) { f.width = 0; }));
  add("NegativeWidth", with(Rgb24(), [](auto& f) { f.width = -2; }));
  add("ZeroHeight", with(Rgb24(), [](auto& f) { f.height = 0; }));
  add("LowestHeight", with(Rgb24(), [](auto& f) { f.height = INT32_MIN; }));
  add("CoreZeroWidth", with(Rgb24(), [](auto& f) {
        f.header_size = 12;
        f.width = 0;
      }));

  // Compression that the bit count or the header cannot have.
  add("Jpeg", with(Rgb24(), [](auto& f) { f.compression = platform::BI_JPEG; }));
  add("Png", with(Rgb24(), [](auto& f) { f.compression = platform::BI_PNG; }));
  add("Compression7", with(Rgb24(), [](auto& f) { f.compression = 7; }));
  add("Os2Huffman1D", with(Rgb24(), [](auto& f) {
        f.header_size = 64;
        f.bits = 1;
        f.compression = 3;
        f.colours = TestColours(2);
      }));
  // Compression 3 is not bit fields in an OS/2 header, wherever masks might be looked for.
  std::vector<uint8_t> os2_fields = BuildBmp(Fields16(64, {0xF800, 0x07E0, 0x001F}));
  for (int i = 0; i < 12; ++i)
    os2_fields[14 + 40 + i] = os2_fields[14 + 64 + i];
  cases.push_back({"Os2Compression3With16Bits", os2_fields});
  add("Os2Rle24", with(Rgb24(), [](auto& f) {
        f.header_size = 64;
        f.compression = 4;
      }));
  add("Rle8With4Bits", with(RleFixture(4, 2, 1, {0, 1}), [](auto& f) { f.compression = BI_RLE8; }));
  add("Rle4With8Bits", with(RleFixture(8, 2, 1, {0, 1}), [](auto& f) { f.compression = BI_RLE4; }));
  add("Rle8With24Bits", with(Rgb24(), [](auto& f) { f.compression = BI_RLE8; }));
  add("BitfieldsWith24Bits", with(Rgb24(), [](auto& f) {
        f.compression = BI_BITFIELDS;
        f.masks = {0xFF0000, 0xFF00, 0xFF};
      }));
  add("BitfieldsWith8Bits", with(Indexed8(), [](auto& f) { f.compression = BI_BITFIELDS; }));
  add("TopDownRle8", with(RleFixture(8, 2, -1, {0, 1}), [](auto&) {}));
  add("TopDownRle4", with(RleFixture(4, 2, -1, {0, 1}), [](auto&) {}));

  // Masks.
  add("ZeroRedMask", Fields16(40, {0, 0x07E0, 0x001F}));
  add("ZeroBlueMaskInV5", Fields16(124, {0xF800, 0x07E0, 0, 0}));
  add("OverlappingMasks", Fields16(40, {0xF800, 0x0FE0, 0x001F}));
  add("SplitMask", Fields16(40, {0xF000, 0x07E0, 0x081F}));
  add("MaskBeyond16Bits", Fields16(40, {0x1F0000, 0x07E0, 0x001F}));
  add("AlphaOverlapsInV3", Fields16(56, {0x7C00, 0x03E0, 0x001F, 0xFC00}));
  add("SplitAlphaInV3",
      with(Fields16(56, {0x00FF0000, 0x0000FF00, 0x000000FF, 0x50000000}), [](auto& f) {
        f.bits = 32;
        f.pixels = PackRows(32, SomeValues(32, 2, 2));
      }));

  // Colour table and offsets.
  add("Colours257", with(Indexed8(), [](auto& f) {
        f.colours_used = 257;
        f.colours = TestColours(256);
        f.colours.push_back({});
      }));
  add("OffsetPastEnd", with(Rgb24(), [](auto& f) { f.offset = 1000; }));
  add("OffsetInsideFileHeader", with(Rgb24(), [](auto& f) { f.offset = 0; }));
  add("OffsetInsideInfoHeader", with(Rgb24(), [](auto& f) { f.offset = 50; }));
  add("OffsetInsideMasks",
      with(Fields16(40, {0xF800, 0x07E0, 0x001F}), [](auto& f) { f.offset = 14 + 40 + 8; }));
  add("OffsetInsideColourTable", with(Indexed8(), [](auto& f) { f.offset = 14 + 40 + 12; }));
  add("OffsetInsideCoreTable", with(Indexed8(), [](auto& f) {
        f.header_size = 12;
        f.colours = TestColours(256);
        f.offset = 14 + 12 + 3 * 255;
      }));
  add("PixelsOneByteShort", with(Rgb24(), [](auto& f) { f.pixels.pop_back(); }));

  // Sizes that would need far more memory than the file holds.
  add("HugeImageTinyFile", with(Rgb24(), [](auto& f) {
        f.bits = 32;
        f.width = 1 << 30;
        f.height = -(1 << 30);
      }));
  add("HugeWidthTinyFile", with(Rgb24(), [](auto& f) { f.width = 1 << 30; }));
  add("HugeRle", RleFixture(8, 1 << 30, 1 << 30, {0, 1}));
  add("RleOverPixelLimit", RleFixture(8, (1 << 14) + 1, 1 << 14, {0, 1}));
  // Beyond 16 megapixels, a few bytes of RLE data cannot stand for a whole blank picture.
  add("RleHugeBlankFromTinyData", RleFixture(8, 8192, 4097, {0, 1}));

  // RLE codes that leave the bitmap or the data.
  add("Rle8RunPastRow", RleFixture(8, 4, 1, {5, 1, 0, 1}));
  add("Rle8RunPastRowAfterDelta", RleFixture(8, 4, 1, {0, 2, 2, 0, 3, 1, 0, 1}));
  add("Rle8AbsolutePastRow", RleFixture(8, 4, 1, {0, 5, 1, 2, 3, 4, 5, 0, 0, 1}));
  add("Rle8DeltaPastRowEnd", RleFixture(8, 4, 2, {0, 2, 5, 0, 0, 1}));
  add("Rle8DeltaPastTop", RleFixture(8, 4, 2, {0, 2, 0, 2, 0, 1}));
  add("Rle8RunPastImage", RleFixture(8, 4, 1, {1, 1, 0, 0, 1, 1, 0, 1}));
  add("Rle8EndOfLinePastImage", RleFixture(8, 4, 1, {0, 0, 0, 0, 0, 1}));
  add("Rle8NoEndOfBitmap", RleFixture(8, 4, 2, {4, 1, 0, 0, 4, 2}));
  add("Rle8AbsoluteCutShort", RleFixture(8, 4, 1, {0, 4, 1, 2}));
  add("Rle8DeltaCutShort", RleFixture(8, 4, 2, {0, 2, 1}));
  add("Rle8NoData", RleFixture(8, 4, 1, {}));
  add("Rle4RunPastRow", RleFixture(4, 3, 1, {4, 0x11, 0, 1}));
  add("Rle4AbsolutePastRow", RleFixture(4, 3, 1, {0, 4, 0x12, 0x34, 0, 1}));
  add("Rle4AbsoluteCutShort", RleFixture(4, 8, 1, {0, 5, 0x12, 0x34}));
  return cases;
}

void PrintTo(const BadCase& c, std::ostream* os) {
  *os << c.name;
}

class BmpRefused : public testing::TestWithParam<BadCase> {};

TEST_P(BmpRefused, RaisesInvalidGraphic) {
  try {
    Read(GetParam().bytes);
    FAIL() << "accepted";
  } catch (const platform::EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "Bitmap image is not valid");
  }
}

INSTANTIATE_TEST_SUITE_P(Bmp, BmpRefused, testing::ValuesIn(BadCases()),
                         [](const auto& info) { return info.param.name; });

// Every proper prefix of a valid file is a truncated file.
class BmpTruncated : public testing::TestWithParam<std::pair<const char*, BmpFixture>> {};

TEST_P(BmpTruncated, EveryPrefixIsRefused) {
  const std::vector<uint8_t> bytes = BuildBmp(GetParam().second);
  ASSERT_NO_THROW(Read(bytes));
  for (size_t length = 0; length < bytes.size(); ++length) {
    const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + length);
    EXPECT_THROW(Read(prefix), platform::EInvalidGraphic) << "length " << length;
  }
}

std::vector<std::pair<const char*, BmpFixture>> TruncationCases() {
  BmpFixture core = Indexed8();
  core.header_size = 12;
  core.bits = 4;
  core.colours = TestColours(16);
  core.pixels = PackRows(4, {{1, 2}, {3, 4}});
  BmpFixture v5 = Fields16(124, {0x0F00, 0x00F0, 0x000F, 0xF000});
  return {
      {"Indexed8ShortTable", Indexed8()},
      {"Core4", core},
      {"InfoMasksAfterHeader", Fields16(40, {0xF800, 0x07E0, 0x001F})},
      {"V5Fields", v5},
      {"Rle8", RleFixture(8, 5, 3, RleCases()[0].data)},
      {"Rle4", RleFixture(4, 5, 2, RleCases()[5].data)},
  };
}

INSTANTIATE_TEST_SUITE_P(Bmp, BmpTruncated, testing::ValuesIn(TruncationCases()),
                         [](const auto& info) { return std::string(info.param.first); });

}  // namespace
