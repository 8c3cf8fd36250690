#include <gtest/gtest.h>

#include "png/chunk_ihdr.h"
#include "png/chunk_plte.h"
#include "png/png_object.h"
#include "tests/exception_matchers.h"
#include "tests/png_fixtures.h"
#include "tests/png_test_support.h"

namespace png {
namespace {

using tests::Bytes;
using tests::PngBuilder;

Bytes HeaderData(uint32_t width, uint32_t height, uint8_t depth, uint8_t colour_type,
                 uint8_t compression, uint8_t filter, uint8_t interlace) {
  Bytes data = tests::Concat({tests::Be32(width), tests::Be32(height)});
  data.insert(data.end(), {depth, colour_type, compression, filter, interlace});
  return data;
}

// A header chunk with a fresh buffer as chunk 0 of the image.
TChunkIHDR& AdoptHeader(TPNGObject& image, uint32_t width, uint32_t height, uint8_t depth,
                        uint8_t colour_type) {
  auto* header = static_cast<TChunkIHDR*>(image.Chunks.Adopt(std::make_unique<TChunkIHDR>(&image)));
  header->Width = width;
  header->Height = height;
  header->BitDepth = depth;
  header->ColourType = colour_type;
  header->AllocateImageBuffer();
  return *header;
}

// Loads a file with the given header data and raises what the header load raises.
void LoadHeader(const Bytes& header) {
  tests::LoadPng(PngBuilder().Chunk("IHDR", header).Idat({0, 0}).Iend().Data());
}

TEST(PngHeader, ChecksRunInOrder) {
  struct Case {
    const char* name;
    Bytes header;
    const char* raised;
  };
  Bytes short_header = HeaderData(1, 1, 8, 0, 0, 0, 0);
  short_header.pop_back();
  const std::vector<Case> cases = {
      {"12 bytes", short_header, "EPngInvalidIHDR"},
      {"width 65536", HeaderData(65536, 1, 8, 0, 0, 0, 0), "EPNGSizeExceeds"},
      {"height 2^31", HeaderData(1, 0x80000000u, 8, 0, 0, 0, 0), "EPNGSizeExceeds"},
      {"size before compression", HeaderData(70000, 1, 8, 0, 1, 0, 0), "EPNGSizeExceeds"},
      {"compression 1", HeaderData(1, 1, 8, 0, 1, 0, 0), "EPNGUnknownCompression"},
      {"compression before interlace", HeaderData(1, 1, 8, 0, 1, 0, 2), "EPNGUnknownCompression"},
      {"interlace 2", HeaderData(1, 1, 8, 0, 0, 0, 2), "EPNGUnknownInterlace"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tests::RaisedClass([&] { LoadHeader(c.header); }), c.raised) << c.name;
  }
}

TEST(PngHeader, ExtraBytesAndAnyFilterMethodAreAccepted) {
  Bytes header = HeaderData(1, 1, 8, 0, 0, 1, 0);
  header.push_back(0xEE);
  auto image = tests::LoadPng(PngBuilder().Chunk("IHDR", header).Idat({0, 5}).Iend().Data());
  EXPECT_EQ(image->ImageHeader().FilterMethod, 1);
  const Bytes saved = tests::SavePng(*image);
  EXPECT_EQ(saved[11], 13);  // the header is written with 13 bytes of data
  EXPECT_EQ(saved[16 + 11], 1);
}

TEST(PngHeader, BufferLayoutFollowsColourTypeAndDepth) {
  struct Case {
    uint32_t width;
    uint8_t depth;
    uint8_t colour_type;
    int bits_per_pixel;
    int32_t row_stride;
    bool alpha;
  };
  const Case cases[] = {
      {1, 8, 2, 24, 4, false}, {5, 8, 2, 24, 16, false}, {3, 1, 0, 1, 4, false},
      {33, 1, 3, 1, 8, false}, {9, 2, 0, 4, 8, false},   {9, 2, 3, 4, 8, false},
      {3, 16, 0, 8, 4, false}, {3, 8, 4, 8, 4, true},    {2, 16, 6, 24, 8, true},
      {1, 4, 2, 24, 4, false}, {7, 3, 0, 0, 0, false},   {7, 8, 5, 0, 0, false},
  };
  for (const Case& c : cases) {
    TPNGObject image;
    TChunkIHDR* header = &AdoptHeader(image, c.width, 2, c.depth, c.colour_type);
    const std::string label = std::to_string(c.colour_type) + "/" + std::to_string(c.depth) + " x" +
                              std::to_string(c.width);
    EXPECT_EQ(header->BufferBitsPerPixel(), c.bits_per_pixel) << label;
    EXPECT_EQ(header->RowStride, c.row_stride) << label;
    EXPECT_EQ(header->AlphaBuffer != nullptr, c.alpha) << label;
    EXPECT_EQ(header->PixelBuffer != nullptr, c.bits_per_pixel != 0) << label;
    EXPECT_EQ(header->BufferInfo.bmiHeader.biHeight, c.bits_per_pixel != 0 ? 2 : 0) << label;
    for (int32_t i = 0; i < header->RowStride * 2; ++i)
      ASSERT_EQ(header->PixelBuffer[i], 0);
  }
}

TEST(PngHeader, WidthZeroHasNoPixelMemory) {
  auto image = tests::LoadPng(PngBuilder().Ihdr(0, 1, 8, 0).Idat({0}).Iend().Data());
  EXPECT_EQ(image->ImageHeader().RowStride, 0);
  EXPECT_EQ(image->ImageHeader().PixelBuffer, nullptr);
}

TEST(PngHeader, WidthLimitIsInclusive) {
  Bytes row(1 + 65535 / 8 + 1, 0);
  auto image = tests::LoadPng(PngBuilder().Ihdr(65535, 1, 1, 0).Idat(row).Iend().Data());
  EXPECT_EQ(image->Width(), 65535);
}

TEST(PngHeader, SaveWritesTwoBitImagesAsFourBitAndTheObjectsInterlacing) {
  TPNGObject image;
  TChunkIHDR* header = &AdoptHeader(image, 2, 2, 2, 0);
  header->InterlaceMethod = 1;
  image.SetInterlacing(0);
  platform::TMemoryStream stream;
  header->WriteChunk(stream);
  const Bytes& out = stream.Bytes();
  EXPECT_EQ(out[8 + 8], 4);   // bit depth
  EXPECT_EQ(out[8 + 12], 0);  // interlace method from the object
  EXPECT_EQ(header->BitDepth, 4);
  EXPECT_EQ(header->InterlaceMethod, 1);
}

TEST(PngHeader, LoadSetsTheObjectsInterlacing) {
  auto image = tests::LoadPng(PngBuilder().Ihdr(1, 1, 8, 0, 1).Idat({0, 9}).Iend().Data());
  EXPECT_EQ(image->Interlacing(), 1);
}

TEST(PngHeader, CopyTakesFieldsPixelsAlphaAndColourTable) {
  TPNGObject source;
  TChunkIHDR* from = &AdoptHeader(source, 3, 2, 8, 4);
  from->PixelBuffer[5] = 55;
  from->AlphaBuffer.get()[4] = 44;
  from->BufferInfo.bmiColors[9].rgbRed = 99;

  TPNGObject target;
  auto* to = static_cast<TChunkIHDR*>(target.Chunks.Adopt(std::make_unique<TChunkIHDR>(&target)));
  to->CopyFrom(*from);
  EXPECT_EQ(to->Width, 3u);
  EXPECT_EQ(to->ColourType, 4);
  EXPECT_EQ(to->PixelBuffer[5], 55);
  EXPECT_EQ(to->AlphaBuffer.get()[4], 44);
  EXPECT_EQ(to->BufferInfo.bmiColors[9].rgbRed, 99);
  EXPECT_NE(to->PixelBuffer, from->PixelBuffer);

  TChunkPLTE palette(&target);
  EXPECT_EQ(tests::RaisedMessage([&] { to->CopyFrom(palette); }),
            "The chunks must be compatible to be assigned.");
}

}  // namespace
}  // namespace png
