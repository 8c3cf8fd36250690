#include <gtest/gtest.h>

#include "png/chunk_gama.h"
#include "png/png_object.h"
#include "tests/exception_matchers.h"
#include "tests/png_fixtures.h"
#include "tests/png_test_support.h"

namespace png {
namespace {

using tests::Bytes;

std::unique_ptr<TPNGObject> LoadWithGamma(const Bytes& gamma_data) {
  return tests::LoadPng(
      tests::OnePixelStart().Chunk("gAMA", gamma_data).Idat({0, 1}).Iend().Data());
}

TEST(PngGamma, TablesForKnownValues) {
  struct Entry {
    int index;
    int value;
  };
  struct Case {
    uint32_t gamma;
    std::vector<Entry> decode;
    std::vector<Entry> encode;
  };
  const std::vector<Case> cases = {
      {100000,
       {{0, 0}, {1, 21}, {64, 136}, {128, 186}, {192, 224}, {254, 255}, {255, 255}},
       {{186, 128}, {255, 255}, {1, 1}, {20, 20}, {21, 1}}},
      {50000, {{1, 2}, {128, 136}}, {{2, 1}, {5, 5}}},
  };
  for (const Case& c : cases) {
    auto image = LoadWithGamma(tests::Be32(c.gamma));
    for (const Entry& e : c.decode) {
      EXPECT_EQ(image->DecodeGammaTable[e.index], e.value) << c.gamma << " decode " << e.index;
    }
    for (const Entry& e : c.encode) {
      EXPECT_EQ(image->EncodeGammaTable[e.index], e.value) << c.gamma << " encode " << e.index;
    }
  }
}

TEST(PngGamma, ValuesThatLeaveTheIdentity) {
  for (uint32_t gamma : {45455u, 0u}) {
    auto image = LoadWithGamma(tests::Be32(gamma));
    for (int i = 0; i < 256; ++i) {
      ASSERT_EQ(image->DecodeGammaTable[i], i) << gamma;
      ASSERT_EQ(image->EncodeGammaTable[i], i) << gamma;
    }
  }
}

TEST(PngGamma, DataOfAnotherLengthReadsAsOne) {
  for (const Bytes& data : {Bytes{}, Bytes(8, 0)}) {
    auto image = LoadWithGamma(data);
    EXPECT_EQ(image->DecodeGammaTable[0], 0);
    EXPECT_EQ(image->DecodeGammaTable[254], 0);
    EXPECT_EQ(image->DecodeGammaTable[255], 255);
    EXPECT_EQ(image->EncodeGammaTable[0], 254);
    auto* gamma = image->Chunks.FirstChunkOfClass<TChunkgAMA>();
    EXPECT_EQ(gamma->GetGammaValue(), 1u);
    EXPECT_EQ(gamma->PayloadSize, 4);
  }
}

TEST(PngGamma, NewChunkHoldsOneAndSavesItsFourBytes) {
  TPNGObject image;
  TChunkgAMA gamma(&image);
  EXPECT_EQ(Bytes(gamma.Payload.begin(), gamma.Payload.begin() + 4), (Bytes{0, 0, 0, 1}));
  gamma.SetGammaValue(0);
  platform::TMemoryStream stream;
  gamma.WriteChunk(stream);
  EXPECT_EQ(Bytes(stream.Bytes().begin(), stream.Bytes().begin() + 12),
            (Bytes{0, 0, 0, 4, 'g', 'A', 'M', 'A', 0, 0, 0, 0}));
}

TEST(PngGamma, CopyingAnImageCopiesTheValueButNotTheTables) {
  auto source = LoadWithGamma(tests::Be32(100000));
  TPNGObject copy;
  copy.Assign(*source);
  EXPECT_EQ(copy.DecodeGammaTable[1], 1);
  EXPECT_EQ(copy.Chunks.FirstChunkOfClass<TChunkgAMA>()->GetGammaValue(), 100000u);

  TChunkIEND other(&copy);
  EXPECT_EQ(
      tests::RaisedClass([&] { copy.Chunks.FirstChunkOfClass<TChunkgAMA>()->CopyFrom(other); }),
      "EPngError");
}

}  // namespace
}  // namespace png
