// The image-data encoder: row filter choice, scanline order, IDAT chunking, zlib use and the
// images it refuses.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

#include "png/chunk_idat.h"
#include "png/exceptions.h"
#include "png/idat_writer.h"
#include "png/messages.h"
#include "png/png_object.h"
#include "tests/encoder_test_support.h"
#include "tests/png_test_support.h"

namespace tests {
namespace {

using png::FilterBit;

constexpr uint8_t kNone = FilterBit(png::kFilterNone);
constexpr uint8_t kSub = FilterBit(png::kFilterSub);
constexpr uint8_t kUp = FilterBit(png::kFilterUp);
constexpr uint8_t kAverage = FilterBit(png::kFilterAverage);
constexpr uint8_t kPaeth = FilterBit(png::kFilterPaeth);
constexpr uint8_t kAll = kNone | kSub | kUp | kAverage | kPaeth;

Bytes RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 generator(seed);
  Bytes bytes(count);
  for (uint8_t& byte : bytes)
    byte = static_cast<uint8_t>(generator());
  return bytes;
}

struct FilterCase {
  const char* name;
  uint8_t filter_set;
  uint32_t stride;
  Bytes raw;
  Bytes prior;  // empty: the first row, all zero
  uint8_t expected_type;
  Bytes expected_bytes;
};

const FilterCase kFilterCases[] = {
    {"SubAloneOnFirstRow", kSub, 1, {1, 2, 4, 8}, {}, 1, {1, 1, 2, 4}},
    {"SubStride3", kSub, 3, {10, 20, 30, 40, 50, 60, 5}, {}, 1, {10, 20, 30, 30, 30, 30, 221}},
    {"NoneAlone", kNone, 1, {1, 2, 3}, {9, 9, 9}, 0, {1, 2, 3}},
    {"EmptySet", 0, 1, {1, 2, 3}, {9, 9, 9}, 0, {1, 2, 3}},
    {"UpAloneUnscored", kUp, 1, {0, 5, 7}, {1, 1, 1}, 2, {255, 4, 6}},
    {"AverageSumsWithoutOverflow", kAverage, 1, {200, 100, 50}, {255, 255, 10}, 3, {73, 129, 251}},
    {"PaethPicksAboveThenLeft", kPaeth, 1, {10, 20, 30}, {5, 40, 25}, 4, {5, 236, 10}},
    {"UpAndPaethBothZeroGiveNone", kUp | kPaeth, 1, {1, 2, 4, 8}, {}, 0, {1, 2, 4, 8}},
    {"NoneTiesSub", kNone | kSub, 1, {5, 5, 5, 5}, {}, 0, {5, 5, 5, 5}},
    {"SubTiesPaeth", kAll, 1, {1, 2, 3, 4, 5, 6}, {}, 1, {1, 1, 1, 1, 1, 1}},
    {"UpTiesPaeth", kAll, 1, {4, 10, 2, 8, 3}, {3, 9, 1, 7, 2}, 2, {1, 1, 1, 1, 1}},
    {"OneByteRow", kAll, 1, {7}, {}, 0, {7}},
    {"TwoByteRow", kAll, 1, {7, 7}, {}, 0, {7, 7}},
};

class FilterChoice : public testing::TestWithParam<FilterCase> {};

TEST_P(FilterChoice, ChoosesTypeAndFillsItsCandidate) {
  const FilterCase& c = GetParam();
  png::TPNGObject image;
  image.SetFilterSet(c.filter_set);
  png::TChunkIDAT chunk(&image);
  const size_t n = c.raw.size();
  chunk.RowSize = static_cast<int32_t>(n);
  chunk.FilterStride = c.stride;
  chunk.RawRow = c.raw;
  for (Bytes& row : chunk.FilterRows)
    row.assign(n, 0);
  if (!c.prior.empty()) chunk.FilterRows[0] = c.prior;

  const uint8_t type = chunk.ChooseRowFilter();
  EXPECT_EQ(type, c.expected_type);
  EXPECT_EQ(chunk.FilterRows[type], c.expected_bytes);
  // The raw row is the None candidate and the next row's prior row.
  EXPECT_EQ(chunk.FilterRows[0], c.raw);
}

INSTANTIATE_TEST_SUITE_P(Cases, FilterChoice, testing::ValuesIn(kFilterCases),
                         [](const testing::TestParamInfo<FilterCase>& info) {
                           return std::string(info.param.name);
                         });

// Filter-type bytes of a plain image's inflated data, one per row.
Bytes FilterTypesOf(const Bytes& file, size_t rows, size_t row_size) {
  const Bytes data = InflateImageData(file);
  EXPECT_EQ(data.size(), rows * (1 + row_size));
  Bytes types;
  for (size_t at = 0; at < data.size(); at += 1 + row_size)
    types.push_back(data[at]);
  return types;
}

TEST(EncoderStream, DefaultSetWritesSubOnEveryRowAtLevel9) {
  auto image = MakeImage(2, 8, 20, 10);
  FillPattern(image->ImageHeader());
  image->SetCompressionLevel(9);
  const Bytes file = SavePng(*image);
  const std::vector<Bytes> idat = IdatPayloadsOf(file);
  ASSERT_FALSE(idat.empty());
  ASSERT_GE(idat[0].size(), 2u);
  EXPECT_EQ(idat[0][0], 0x78);
  EXPECT_EQ(idat[0][1], 0xDA);
  EXPECT_EQ(FilterTypesOf(file, 10, 60), Bytes(10, 1));
}

TEST(EncoderStream, SingleTypeSetsAreWrittenOnEveryRow) {
  const std::pair<uint8_t, uint8_t> cases[] = {
      {kNone, 0}, {0, 0}, {kUp, 2}, {kAverage, 3}, {kPaeth, 4}};
  for (const auto& [filter_set, type] : cases) {
    auto image = MakeImage(0, 8, 9, 5);
    FillPattern(image->ImageHeader());
    image->SetFilterSet(filter_set);
    EXPECT_EQ(FilterTypesOf(SavePng(*image), 5, 9), Bytes(5, type)) << int{filter_set};
  }
}

TEST(EncoderStream, Adam7WritesOnlyPassesWithPixels) {
  // 1 x 1: pass 0 alone, one type byte and one sample.
  auto tiny = MakeImage(0, 8, 1, 1);
  tiny->SetInterlacing(1);
  EXPECT_EQ(InflateImageData(SavePng(*tiny)).size(), 2u);

  // 3 x 3: passes 0, 3, 4, 5, 6 write 1, 1, 1, 2, 1 rows of 1, 1, 2, 1, 3 samples.
  auto small = MakeImage(0, 8, 3, 3);
  FillPattern(small->ImageHeader());
  small->SetInterlacing(1);
  const Bytes data = InflateImageData(SavePng(*small));
  ASSERT_EQ(data.size(), 15u);
  for (size_t at : {0, 2, 4, 7, 9, 11})
    EXPECT_EQ(data[at], 1) << "type byte at " << at;
}

// The compressed stream of a plain image cut into chunks.
std::vector<Bytes> SaveNoiseImage(uint32_t idat_size_limit) {
  auto image = MakeImage(2, 8, 256, 256);
  png::TChunkIHDR& header = image->ImageHeader();
  const Bytes noise =
      RandomBytes(static_cast<size_t>(header.RowStride) * header.Height, idat_size_limit);
  std::copy(noise.begin(), noise.end(), header.PixelBuffer);
  image->SetIdatSizeLimit(idat_size_limit);
  const Bytes file = SavePng(*image);
  EXPECT_EQ(PngcheckComplaint(file), "");
  // The IDAT chunks follow each other with nothing between them.
  const std::vector<std::string> types = ChunkTypesOf(file);
  EXPECT_EQ(types.front(), "IHDR");
  EXPECT_EQ(types.back(), "IEND");
  for (size_t i = 1; i + 1 < types.size(); ++i)
    EXPECT_EQ(types[i], "IDAT");
  return IdatPayloadsOf(file);
}

TEST(EncoderStream, ChunksHoldExactlyTheLimitButTheLast) {
  for (uint32_t limit : {65535u, 100000u}) {
    const std::vector<Bytes> chunks = SaveNoiseImage(limit);
    ASSERT_GE(chunks.size(), 2u) << limit;
    for (size_t i = 0; i + 1 < chunks.size(); ++i)
      EXPECT_EQ(chunks[i].size(), limit) << "chunk " << i;
    EXPECT_GE(chunks.back().size(), 1u);
    EXPECT_LE(chunks.back().size(), limit);
  }
}

TEST(EncoderStream, LimitBeyondTheWholeStreamGivesOneChunk) {
  EXPECT_EQ(SaveNoiseImage(UINT32_MAX).size(), 1u);
}

// Compresses data through the stream functions with an output buffer of the size.
std::vector<Bytes> CompressIntoChunks(const Bytes& data, uint32_t buffer_size) {
  platform::TMemoryStream stream;
  stream.WriteBuffer("\x89PNG\r\n\x1a\n", 8);
  png::TZlibStreamContext context;
  png::OpenDeflate(stream, 9, buffer_size, context);
  png::FeedDeflate(context, data.data(), static_cast<int32_t>(data.size()));
  png::FinishDeflate(context);
  png::CloseDeflate(context);
  return IdatPayloadsOf(stream.Bytes());
}

TEST(EncoderStream, ExactMultipleOfTheBufferGivesNoEmptyChunk) {
  // Incompressible data whose compressed size is a multiple of 3.
  Bytes data;
  size_t total = 0;
  for (size_t length = 3000; total % 3 != 0 || total == 0; ++length) {
    data = RandomBytes(length, 7);
    total = CompressIntoChunks(data, 1 << 20).at(0).size();
  }
  const struct {
    uint32_t buffer_size;
    std::vector<size_t> sizes;
  } cases[] = {{static_cast<uint32_t>(total), {total}},
               {static_cast<uint32_t>(total / 3), {total / 3, total / 3, total / 3}},
               {static_cast<uint32_t>(total - 1), {total - 1, 1}}};
  for (const auto& c : cases) {
    const std::vector<Bytes> chunks = CompressIntoChunks(data, c.buffer_size);
    std::vector<size_t> sizes;
    Bytes joined;
    for (const Bytes& chunk : chunks) {
      sizes.push_back(chunk.size());
      joined.insert(joined.end(), chunk.begin(), chunk.end());
    }
    EXPECT_EQ(sizes, c.sizes) << "buffer of " << c.buffer_size;
    uLongf size = static_cast<uLongf>(data.size());
    Bytes inflated(data.size());
    ASSERT_EQ(uncompress(inflated.data(), &size, joined.data(), joined.size()), Z_OK);
    EXPECT_EQ(inflated, data);
  }
}

TEST(EncoderStream, CompressBlockRoundTripsAndReportsRefusedLevel) {
  Bytes data = RandomBytes(1000, 3);
  data.resize(3000, 'a');
  std::string message = "unchanged";
  int32_t size = -1;
  Bytes block;
  ASSERT_TRUE(
      png::CompressBlock(data.data(), static_cast<int32_t>(data.size()), 9, message, size, block));
  EXPECT_GT(size, 256);
  ASSERT_EQ(block.size(), static_cast<size_t>(size));
  uLongf inflated_size = static_cast<uLongf>(data.size());
  Bytes inflated(data.size());
  ASSERT_EQ(uncompress(inflated.data(), &inflated_size, block.data(), block.size()), Z_OK);
  EXPECT_EQ(inflated, data);

  Bytes refused;
  EXPECT_FALSE(png::CompressBlock(data.data(), static_cast<int32_t>(data.size()), 10, message, size,
                                  refused));
  EXPECT_EQ(message, "");
  EXPECT_EQ(size, 0);
}

TEST(EncoderStream, RefusedLevelEndsTheSaveWithZlibError) {
  auto image = MakeImage(0, 8, 4, 4);
  image->SetCompressionLevel(10);
  platform::TMemoryStream stream;
  try {
    image->SaveToStream(stream);
    FAIL() << "the save went through";
  } catch (const png::EPNGZLIBError& error) {
    EXPECT_EQ(error.what(), std::string(png::kZlibError) + "stream error (-2)");
  }
  EXPECT_TRUE(IdatPayloadsOf(stream.Bytes()).empty());
}

TEST(EncoderStream, UnknownInterlacingWritesNoImageData) {
  auto image = MakeImage(0, 8, 4, 4);
  image->SetInterlacing(2);
  EXPECT_EQ(ChunkTypesOf(SavePng(*image)), (std::vector<std::string>{"IHDR", "IEND"}));
}

TEST(EncoderStream, RefusesHeadersWithoutPackingBeforeWritingAnything) {
  const struct {
    uint8_t colour_type;
    uint8_t bit_depth;
    uint32_t width;
    uint32_t height;
  } cases[] = {{2, 4, 4, 4}, {4, 4, 4, 4}, {6, 1, 4, 4}, {0, 3, 4, 4},
               {5, 8, 4, 4}, {0, 8, 0, 4}, {0, 8, 4, 0}};
  for (const auto& c : cases) {
    auto image = MakeImage(c.colour_type, c.bit_depth, c.width, c.height);
    auto* chunk = dynamic_cast<png::TChunkIDAT*>(image->Chunks.ChunkAt(1));
    ASSERT_NE(chunk, nullptr);
    platform::TMemoryStream stream;
    EXPECT_THROW(chunk->WriteChunk(stream), png::EPngInvalidIHDR)
        << int{c.colour_type} << "/" << int{c.bit_depth} << " " << c.width << "x" << c.height;
    EXPECT_EQ(stream.Size(), 0);
  }
}

}  // namespace
}  // namespace tests
