#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "png/chunk.h"
#include "png/chunk_gama.h"
#include "png/chunk_ihdr.h"
#include "png/chunk_text.h"
#include "png/crc32.h"
#include "png/png_object.h"
#include "tests/exception_matchers.h"
#include "tests/png_fixtures.h"
#include "tests/png_test_support.h"

namespace png {
namespace {

using tests::Bytes;
using tests::PngBuilder;

const Bytes kSignature = {137, 80, 78, 71, 13, 10, 26, 10};

std::vector<std::string> TypesInList(const TPNGObject& image) {
  std::vector<std::string> types;
  for (int32_t i = 0; i < image.Chunks.ItemCount(); ++i) {
    types.emplace_back(ChunkTypeText(image.Chunks.ChunkAt(i)->ChunkType));
  }
  return types;
}

struct LoadFailure {
  const char* name;
  Bytes file;
  const char* raised;
  std::vector<std::string> list_after;
};

TEST(PngChunkLoop, EachFailureRaisesItsErrorAndKeepsTheChunksTakenSoFar) {
  const Bytes pixel = tests::OnePixelImageData();
  Bytes cut_in_length = tests::OnePixelStart().Data();
  cut_in_length.insert(cut_in_length.end(), {0, 0});
  Bytes cut_in_type = tests::OnePixelStart().Data();
  cut_in_type.insert(cut_in_type.end(), {0, 0, 0, 0, 'I', 'D'});
  Bytes cut_in_data = tests::OnePixelStart().Chunk("IDAT", pixel).Data();
  cut_in_data.resize(cut_in_data.size() - 6);
  Bytes huge_length = tests::OnePixelStart().Data();
  huge_length.insert(huge_length.end(), {0x80, 0, 0, 0, 't', 'E', 'X', 't', 0, 0, 0, 0});

  const std::vector<LoadFailure> cases = {
      {"empty stream", {}, "EPNGInvalidFileHeader", {}},
      {"three letters", {'P', 'N', 'G'}, "EPNGInvalidFileHeader", {}},
      {"signature alone", kSignature, "EPngUnexpectedEnd", {}},
      {"gAMA first", PngBuilder().Chunk("gAMA", tests::Be32(45455)).Data(), "EPNGIHDRNotFirst", {}},
      {"no IEND",
       tests::OnePixelStart().Chunk("IDAT", pixel).Data(),
       "EPngUnexpectedEnd",
       {"IHDR", "IDAT"}},
      {"no IDAT", tests::OnePixelStart().Iend().Data(), "EPNGNoImageData", {"IHDR", "IEND"}},
      {"private critical chunk",
       tests::OnePixelStart().Chunk("PRVT", {1}).Data(),
       "EPNGUnknownCriticalChunk",
       {"IHDR", "PRVT"}},
      {"bad CRC",
       tests::OnePixelStart().BadCrcChunk("prVt", {1}).Data(),
       "EPngInvalidCRC",
       {"IHDR", "prVt"}},
      {"ends inside data", cut_in_data, "EPngInvalidCRC", {"IHDR", "IDAT"}},
      {"ends inside a length", cut_in_length, "EPngUnexpectedEnd", {"IHDR"}},
      {"ends inside a type", cut_in_type, "EPngUnexpectedEnd", {"IHDR"}},
      {"length of 2^31", huge_length, "EPngInvalidCRC", {"IHDR", "tEXt"}},
  };
  for (const LoadFailure& c : cases) {
    TPNGObject image;
    platform::TMemoryStream stream(c.file);
    EXPECT_EQ(tests::RaisedClass([&] { image.LoadFromStream(stream); }), c.raised) << c.name;
    EXPECT_EQ(TypesInList(image), c.list_after) << c.name;
  }
}

TEST(PngChunkLoop, SkipsChrmAndLateImageDataWithoutReadingThem) {
  const Bytes pixel = tests::OnePixelImageData();
  const Bytes file = tests::OnePixelStart()
                         .BadCrcChunk("cHRM", Bytes(32, 1))
                         .Chunk("IDAT", pixel)
                         .Chunk("tEXt", {'k', 0, 'v'})
                         .BadCrcChunk("IDAT", {1, 2, 3})
                         .Chunk("idat", {9})  // a different, ancillary type
                         .Iend()
                         .Data();
  auto image = tests::LoadPng(file);
  EXPECT_EQ(TypesInList(*image),
            (std::vector<std::string>{"IHDR", "IDAT", "tEXt", "idat", "IEND"}));
  EXPECT_EQ(image->Chunks.ChunkAt(3)->ClassName(), "TChunk");
}

TEST(PngChunkLoop, StopsReadingRightAfterIend) {
  Bytes file = tests::OnePixelStart().Idat({0, 1}).Iend().Data();
  const int64_t end = static_cast<int64_t>(file.size());
  file.insert(file.end(), {0xDE, 0xAD});  // never read
  TPNGObject image;
  platform::TMemoryStream stream(file);
  image.LoadFromStream(stream);
  EXPECT_EQ(stream.Position(), end);
}

TEST(PngChunkLoop, PrivateAncillaryChunkIsWrittenBackUnchangedInPlace) {
  const Bytes private_chunk = PngBuilder().Chunk("prVt", {1, 2, 3, 4, 5}).Data();
  const Bytes file =
      tests::OnePixelStart().Chunk("prVt", {1, 2, 3, 4, 5}).Idat({0, 1}).Iend().Data();
  auto image = tests::LoadPng(file);
  const Bytes saved = tests::SavePng(*image);
  EXPECT_EQ(tests::ChunkTypesOf(saved), (std::vector<std::string>{"IHDR", "prVt", "IDAT", "IEND"}));
  // Signature, then IHDR (25 bytes), then the private chunk byte for byte.
  const Bytes expected(private_chunk.begin() + 8, private_chunk.end());
  ASSERT_GE(saved.size(), 33 + expected.size());
  EXPECT_EQ(Bytes(saved.begin() + 33, saved.begin() + 33 + static_cast<long>(expected.size())),
            expected);
}

TEST(PngChunk, EndChunkIsTwelveFixedBytes) {
  TPNGObject image;
  TChunkIEND end(&image);
  platform::TMemoryStream stream;
  end.WriteChunk(stream);
  EXPECT_EQ(stream.Bytes(), (Bytes{0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82}));
}

TEST(PngChunk, CrcMatchesZlib) {
  std::mt19937 random(7);
  Bytes data(1000);
  for (uint8_t& byte : data)
    byte = static_cast<uint8_t>(random());
  const uint32_t ours = Crc32Update(0xFFFFFFFF, data.data(), 1000) ^ 0xFFFFFFFF;
  EXPECT_EQ(ours, crc32(0, data.data(), 1000));
  EXPECT_EQ(Crc32Update(1234, data.data(), 0), 1234u);
  EXPECT_EQ(Crc32Update(1234, data.data(), -5), 1234u);
}

TEST(PngChunk, ByteSwaps) {
  EXPECT_EQ(SwapBytes32(0x12345678), 0x78563412u);
  EXPECT_EQ(SwapBytes16(0xABCD1234), 0x3412);
}

TEST(PngChunkRegistry, TypesComeFromClassNamesInRegistrationOrder) {
  TPNGObject image;
  const std::pair<const char*, std::string_view> cases[] = {
      {"IEND", "TChunkIEND"}, {"IHDR", "TChunkIHDR"}, {"IDAT", "TChunkIDAT"},
      {"PLTE", "TChunkPLTE"}, {"gAMA", "TChunkgAMA"}, {"tRNS", "TChunktRNS"},
      {"tIME", "TChunktIME"}, {"tEXt", "TChunktEXt"}, {"zTXt", "TChunkzTXt"},
      {"prVt", "TChunk"},     {"iend", "TChunk"}};
  for (const auto& [type, class_name] : cases) {
    auto chunk = MakeChunkFor(&image, MakeChunkName(type));
    EXPECT_EQ(chunk->ClassName(), class_name) << type;
    EXPECT_EQ(ChunkTypeText(chunk->ChunkType), type);
  }
  EXPECT_EQ(TChunk(&image).TypeNameOfClass(), "");
  EXPECT_EQ(TChunkzTXt(&image).TypeNameOfClass(), "zTXt");
  EXPECT_NE(dynamic_cast<TChunktEXt*>(MakeChunkFor(&image, MakeChunkName("zTXt")).get()), nullptr);
}

TEST(PngChunk, BaseCopyTakesTypeAndDataFromAnyChunk) {
  TPNGObject image;
  TChunk source(&image);
  source.ChunkType = MakeChunkName("abCd");
  source.SetPayloadSize(3);
  source.Payload[0] = 7;
  source.Payload[2] = 9;
  TChunkgAMA target(&image);
  target.TChunk::CopyFrom(source);
  EXPECT_EQ(ChunkTypeText(target.ChunkType), "abCd");
  EXPECT_EQ(target.PayloadSize, 3);
  EXPECT_EQ(target.Payload.size(), 4u);
  EXPECT_EQ(target.Payload[2], 9);
}

}  // namespace
}  // namespace png
