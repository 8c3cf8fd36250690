// The palette and transparency chunks: the colour table they fill, the transparency kind and
// the key colour, read from files composed here.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/gdi_types.h"
#include "platform/stream.h"
#include "png/chunk_plte.h"
#include "png/chunk_trns.h"
#include "png/exceptions.h"
#include "png/messages.h"
#include "png/png_object.h"
#include "tests/png_builder.h"
#include "tests/png_test_support.h"

namespace tests {
namespace {

using platform::RGB;

struct Extra {
  const char* type;
  Bytes data;
};

// A 2 x 2 image of the colour type and bit depth, all samples 0, with the extra chunks
// between header and image data.
Bytes Image(uint8_t colour_type, uint8_t bit_depth, const std::vector<Extra>& extras) {
  PngBuilder builder;
  builder.Ihdr(2, 2, bit_depth, colour_type);
  for (const Extra& extra : extras)
    builder.Chunk(extra.type, extra.data);
  const int bits = (colour_type == 2   ? 3
                    : colour_type == 4 ? 2
                    : colour_type == 6 ? 4
                                       : 1) *
                   bit_depth * 2;
  const size_t row = 1 + static_cast<size_t>((bits + 7) / 8);
  return builder.Idat(Bytes(2 * row, 0)).Iend().Data();
}

Bytes Repeat(size_t count, uint8_t value) {
  return Bytes(count, value);
}

TEST(Palette, LengthsAndEntries) {
  EXPECT_EQ(LoadFailure(Image(3, 8, {{"PLTE", Repeat(771, 1)}})),
            Failure("EPNGInvalidPalette", png::kInvalidPalette));
  EXPECT_EQ(LoadFailure(Image(3, 8, {{"PLTE", Repeat(10, 1)}})),
            Failure("EPNGInvalidPalette", png::kInvalidPalette));

  const auto empty = LoadPng(Image(3, 8, {{"PLTE", {}}}));
  const auto* none = empty->Chunks.FirstChunkOfClass<png::TChunkPLTE>();
  EXPECT_EQ(none->EntryCount, 0);
  try {
    none->GetEntry(0);
    ADD_FAILURE() << "entry 0 of an empty palette";
  } catch (const png::EPngError& error) {
    EXPECT_EQ(error.Message(), png::kNoSuchPaletteEntry);
  }

  Bytes entries;
  for (int i = 0; i < 256; ++i)
    entries.insert(entries.end(), {static_cast<uint8_t>(i), 7, static_cast<uint8_t>(255 - i)});
  const auto full = LoadPng(Image(3, 8, {{"PLTE", entries}}));
  const auto* palette = full->Chunks.FirstChunkOfClass<png::TChunkPLTE>();
  EXPECT_EQ(palette->EntryCount, 256);
  // Blue in the low byte, red in bits 16 to 23.
  EXPECT_EQ(palette->GetEntry(200), 0x00C80737u);
  const platform::RGBQUAD& entry = full->ImageHeader().BufferInfo.bmiColors[200];
  EXPECT_EQ(entry.rgbRed, 200);
  EXPECT_EQ(entry.rgbGreen, 7);
  EXPECT_EQ(entry.rgbBlue, 55);
}

TEST(Palette, GammaCorrectsOnLoadAndIsUndoneOnSave) {
  const auto image = LoadPng(Image(3, 8, {{"gAMA", Be32(100000)}, {"PLTE", {128, 64, 254}}}));
  const platform::RGBQUAD& entry = image->ImageHeader().BufferInfo.bmiColors[0];
  EXPECT_EQ(entry.rgbRed, 186);
  EXPECT_EQ(entry.rgbGreen, 136);
  EXPECT_EQ(entry.rgbBlue, 255);

  platform::TMemoryStream out;
  image->Chunks.FirstChunkOfClass<png::TChunkPLTE>()->WriteChunk(out);
  // 254 and 255 both decode to 255, and 255 wins the way back.
  EXPECT_EQ(Bytes(out.Bytes().begin() + 8, out.Bytes().begin() + 11), (Bytes{128, 64, 255}));
}

TEST(Transparency, OverlongChunkIsRefusedAfterItsCrcTest) {
  PngBuilder sound;
  sound.Ihdr(2, 2, 8, 3).Chunk("tRNS", Repeat(257, 0));
  EXPECT_EQ(LoadFailure(sound.Data()), Failure("EPNGInvalidPalette", png::kInvalidPalette));
  PngBuilder damaged;
  damaged.Ihdr(2, 2, 8, 3).BadCrcChunk("tRNS", Repeat(257, 0));
  EXPECT_EQ(LoadFailure(damaged.Data()), Failure("EPngInvalidCRC", png::kInvalidCrc));
}

struct KindCase {
  const char* name;
  uint8_t colour_type;
  std::optional<Bytes> transparency;
  png::TransparencyKind kind;
};

TEST(Transparency, KindFollowsColourTypeAndChunk) {
  using Kind = png::TransparencyKind;
  const KindCase cases[] = {
      {"IndexedOnePartlyTransparent", 3, Bytes{255, 128, 255}, Kind::ColourKey},
      {"IndexedTwoNotOpaque", 3, Bytes{128, 0}, Kind::Alpha},
      {"IndexedAllOpaque", 3, Bytes{255, 255}, Kind::Alpha},
      {"IndexedWithoutChunk", 3, std::nullopt, Kind::Opaque},
      {"GreyOneByte", 0, Bytes{7}, Kind::ColourKey},
      {"GreyWithoutChunk", 0, std::nullopt, Kind::Opaque},
      {"Truecolour", 2, Bytes(6, 0), Kind::ColourKey},
      {"GreyAlphaWithoutChunk", 4, std::nullopt, Kind::Alpha},
      {"GreyAlphaWithChunk", 4, Bytes{0, 1}, Kind::Alpha},
      {"TruecolourAlpha", 6, std::nullopt, Kind::Alpha},
  };
  for (const KindCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Extra> extras;
    if (c.transparency) extras.push_back({"tRNS", *c.transparency});
    const auto image = LoadPng(Image(c.colour_type, 8, extras));
    EXPECT_EQ(image->GetTransparencyKind(), c.kind);
    EXPECT_EQ(image->GetTransparent(), c.kind != Kind::Opaque);
  }
}

struct KeyCase {
  const char* name;
  uint8_t colour_type;
  uint8_t bit_depth;
  std::vector<Extra> extras;
  platform::COLORREF key;
};

TEST(Transparency, KeyColour) {
  const Bytes palette = {1, 2, 3, 4, 5, 6, 70, 80, 90};
  const KeyCase cases[] = {
      {"IndexedFirstFullyTransparentEntry",
       3,
       8,
       {{"PLTE", palette}, {"tRNS", {255, 128, 0, 0}}},
       RGB(70, 80, 90)},
      {"IndexedPartlyTransparentOnly", 3, 8, {{"PLTE", palette}, {"tRNS", {255, 128}}}, 0},
      {"IndexedWithoutPalette", 3, 8, {{"tRNS", {0}}}, 0},
      {"Grey8", 0, 8, {{"tRNS", {0x00, 0x80}}}, RGB(128, 128, 128)},
      // 16-bit pixels show the high-order byte of their samples, and so does the key.
      {"Grey16", 0, 16, {{"tRNS", {0x80, 0x01}}}, RGB(0x80, 0x80, 0x80)},
      {"Grey2", 0, 2, {{"tRNS", {0x00, 0x02}}}, RGB(136, 136, 136)},
      {"Grey1", 0, 1, {{"tRNS", {0x00, 0x01}}}, RGB(255, 255, 255)},
      {"Grey8ThroughGamma",
       0,
       8,
       {{"gAMA", Be32(100000)}, {"tRNS", {0x00, 0x80}}},
       RGB(186, 186, 186)},
      {"TruecolourLowBytes",
       2,
       16,
       {{"tRNS", {0xAA, 0x12, 0xBB, 0x34, 0xCC, 0x56}}},
       RGB(0x12, 0x34, 0x56)},
      {"WithoutChunk", 2, 8, {}, 0},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LoadPng(Image(c.colour_type, c.bit_depth, c.extras))->GetKeyColour(), c.key);
  }
}

struct SetKeyCase {
  const char* name;
  uint8_t colour_type;
  std::vector<Extra> extras;
  platform::COLORREF colour;
  Bytes data;
};

TEST(Transparency, SetKeyColour) {
  Bytes eight_entries(24, 200);
  eight_entries[15] = 10;
  eight_entries[16] = 20;
  eight_entries[17] = 30;
  const SetKeyCase cases[] = {
      {"IndexedFoundAtEntry5",
       3,
       {{"PLTE", eight_entries}},
       RGB(10, 20, 30),
       {255, 255, 255, 255, 255, 0}},
      {"IndexedFoundNowhere", 3, {{"PLTE", eight_entries}}, RGB(1, 2, 3), {0}},
      // The cleared table beyond the palette's two entries holds black.
      {"IndexedBlackBeyondThePalette",
       3,
       {{"PLTE", {9, 9, 9, 8, 8, 8}}},
       RGB(0, 0, 0),
       {255, 255, 0}},
      {"Truecolour", 2, {}, RGB(0x12, 0x34, 0x56), {0x00, 0x12, 0x00, 0x34, 0x00, 0x56}},
      {"GreyTakesRed", 0, {}, RGB(0x40, 1, 2), {0x00, 0x40}},
  };
  for (const SetKeyCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto image = LoadPng(Image(c.colour_type, 8, c.extras));
    png::TChunktRNS chunk(image.get());
    chunk.SetKeyColour(c.colour);
    EXPECT_TRUE(chunk.IsColourKey);
    ASSERT_EQ(static_cast<size_t>(chunk.PayloadSize), c.data.size());
    EXPECT_EQ(Bytes(chunk.TransparencyData.begin(), chunk.TransparencyData.begin() + c.data.size()),
              c.data);
    if (c.colour_type == 2) {
      EXPECT_EQ(chunk.GetKeyColour(), c.colour);
    }
  }
}

}  // namespace
}  // namespace tests
