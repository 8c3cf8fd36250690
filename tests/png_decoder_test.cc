// The image-data decoder, checked against pixel values computed here from random samples:
// scanlines are packed and filtered by a small reference encoder in this file and compressed
// by zlib itself, so no encoder of the codec takes part.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "png/chunk_idat.h"
#include "png/chunk_ihdr.h"
#include "png/exceptions.h"
#include "png/messages.h"
#include "png/png_object.h"
#include "png/unfilter.h"
#include "png/zlib_layer.h"
#include "tests/png_builder.h"
#include "tests/png_test_support.h"

namespace tests {
namespace {

struct Format {
  uint8_t colour_type;
  uint8_t bit_depth;
};

size_t FilterStrideOf(Format format) {
  // Indexed colour filters byte by byte at every depth, 16 bits (not a PNG format) included.
  if (format.colour_type == 3) return 1;
  return std::max<size_t>(1, SamplesPerPixel(format.colour_type) * format.bit_depth / 8);
}

// Random samples of a whole image, each pixel's samples in PNG order.
struct SampleImage {
  Format format;
  uint32_t width;
  uint32_t height;
  std::vector<uint16_t> samples;

  uint16_t At(uint32_t x, uint32_t y, int channel) const {
    return samples[(static_cast<size_t>(y) * width + x) * SamplesPerPixel(format.colour_type) +
                   static_cast<size_t>(channel)];
  }
};

SampleImage RandomImage(Format format, uint32_t width, uint32_t height, uint32_t seed) {
  std::mt19937 rng(seed);
  SampleImage image{format, width, height, {}};
  image.samples.resize(static_cast<size_t>(width) * height * SamplesPerPixel(format.colour_type));
  const uint32_t levels = 1u << format.bit_depth;
  for (uint16_t& sample : image.samples)
    sample = static_cast<uint16_t>(rng() % levels);
  return image;
}

// The scanline (without filter-type byte) of the given columns of row y.
Bytes PackRow(const SampleImage& image, uint32_t y, const std::vector<uint32_t>& columns) {
  const int depth = image.format.bit_depth;
  const int channels = SamplesPerPixel(image.format.colour_type);
  Bytes row;
  uint32_t pending = 0;
  int pending_bits = 0;
  for (uint32_t x : columns) {
    for (int channel = 0; channel < channels; ++channel) {
      const uint16_t sample = image.At(x, y, channel);
      if (depth == 16) {
        row.push_back(static_cast<uint8_t>(sample >> 8));
        row.push_back(static_cast<uint8_t>(sample));
        continue;
      }
      pending = (pending << depth) | sample;
      pending_bits += depth;
      if (pending_bits == 8) {
        row.push_back(static_cast<uint8_t>(pending));
        pending = 0;
        pending_bits = 0;
      }
    }
  }
  if (pending_bits > 0) row.push_back(static_cast<uint8_t>(pending << (8 - pending_bits)));
  return row;
}

// The predictor as the PNG standard words it.
int PaethReference(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a);
  const int pb = std::abs(p - b);
  const int pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

Bytes FilterRow(uint8_t type, const Bytes& row, const Bytes& prior, size_t stride) {
  Bytes out(row.size());
  for (size_t i = 0; i < row.size(); ++i) {
    const int a = i >= stride ? row[i - stride] : 0;
    const int b = prior[i];
    const int c = i >= stride ? prior[i - stride] : 0;
    int predictor = 0;
    switch (type) {
      case 1:
        predictor = a;
        break;
      case 2:
        predictor = b;
        break;
      case 3:
        predictor = (a + b) / 2;
        break;
      case 4:
        predictor = PaethReference(a, b, c);
        break;
      default:
        break;
    }
    out[i] = static_cast<uint8_t>(row[i] - predictor);
  }
  return out;
}

struct PassGeometry {
  uint32_t row, column, row_step, column_step;
};
constexpr PassGeometry kPasses[7] = {{0, 0, 8, 8}, {0, 4, 8, 8}, {4, 0, 8, 4}, {0, 2, 4, 4},
                                     {2, 0, 4, 2}, {0, 1, 2, 2}, {1, 0, 2, 1}};

// The image's scanlines with their filter-type bytes, plain or pass by pass; the filter
// type cycles through 0 to 4 from scanline to scanline, starting at seed mod 5.
Bytes RawImageData(const SampleImage& image, bool interlaced, uint32_t seed) {
  Bytes raw;
  uint8_t type = static_cast<uint8_t>(seed % 5);
  const size_t stride = FilterStrideOf(image.format);
  auto emit = [&](uint32_t first_row, uint32_t row_step, const std::vector<uint32_t>& columns) {
    Bytes prior;
    for (uint32_t y = first_row; y < image.height; y += row_step) {
      const Bytes row = PackRow(image, y, columns);
      if (prior.empty()) prior.assign(row.size(), 0);
      raw.push_back(type);
      const Bytes filtered = FilterRow(type, row, prior, stride);
      raw.insert(raw.end(), filtered.begin(), filtered.end());
      prior = row;
      type = static_cast<uint8_t>((type + 1) % 5);
    }
  };
  if (!interlaced) {
    std::vector<uint32_t> columns;
    for (uint32_t x = 0; x < image.width; ++x)
      columns.push_back(x);
    emit(0, 1, columns);
    return raw;
  }
  for (const PassGeometry& pass : kPasses) {
    std::vector<uint32_t> columns;
    for (uint32_t x = pass.column; x < image.width; x += pass.column_step)
      columns.push_back(x);
    if (!columns.empty()) emit(pass.row, pass.row_step, columns);
  }
  return raw;
}

// A buffer pixel as a value: a colour-table index, or blue | green << 8 | red << 16.
uint32_t StoredPixel(const png::TChunkIHDR& header, uint32_t x, uint32_t y) {
  const uint8_t* row =
      header.PixelBuffer + static_cast<size_t>(header.RowStride) * (header.Height - 1 - y);
  switch (header.BufferBitsPerPixel()) {
    case 1:
      return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4:
      return (row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 15;
    case 8:
      return row[x];
    default:
      return row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16);
  }
}

uint32_t ExpectedPixel(const SampleImage& image, uint32_t x, uint32_t y,
                       const std::array<uint8_t, 256>& gamma) {
  const int depth = image.format.bit_depth;
  auto high = [&](int channel) -> uint32_t {
    const uint16_t sample = image.At(x, y, channel);
    return depth == 16 ? sample >> 8u : sample;
  };
  switch (image.format.colour_type) {
    case 0:
      return depth == 2 ? 4 * high(0) : high(0);
    case 3:
    case 4:
      return high(0);
    default:
      return gamma[high(2)] | (gamma[high(1)] << 8) | (gamma[high(0)] << 16);
  }
}

std::vector<uint32_t> StoredPixels(const png::TChunkIHDR& header) {
  std::vector<uint32_t> pixels;
  for (uint32_t y = 0; y < header.Height; ++y) {
    for (uint32_t x = 0; x < header.Width; ++x)
      pixels.push_back(StoredPixel(header, x, y));
  }
  return pixels;
}

std::vector<uint32_t> ExpectedPixels(const SampleImage& image,
                                     const std::array<uint8_t, 256>& gamma) {
  std::vector<uint32_t> pixels;
  for (uint32_t y = 0; y < image.height; ++y) {
    for (uint32_t x = 0; x < image.width; ++x)
      pixels.push_back(ExpectedPixel(image, x, y, gamma));
  }
  return pixels;
}

std::vector<uint8_t> ExpectedAlpha(const SampleImage& image) {
  std::vector<uint8_t> alpha;
  const int channel = image.format.colour_type == 4 ? 1 : 3;
  for (uint32_t y = 0; y < image.height; ++y) {
    for (uint32_t x = 0; x < image.width; ++x) {
      const uint16_t sample = image.At(x, y, channel);
      alpha.push_back(static_cast<uint8_t>(image.format.bit_depth == 16 ? sample >> 8 : sample));
    }
  }
  return alpha;
}

// --- Every colour type, bit depth, filter type and interlace method against the reference.

constexpr Format kFormats[] = {{0, 1}, {0, 2},  {0, 4}, {0, 8},  {0, 16}, {3, 1},  {3, 2}, {3, 4},
                               {3, 8}, {3, 16}, {2, 8}, {2, 16}, {4, 8},  {4, 16}, {6, 8}, {6, 16}};
struct Size {
  uint32_t width, height;
};
constexpr Size kSizes[] = {{1, 1}, {4, 1}, {3, 3}, {8, 8}, {13, 11}, {33, 17}};

using RoundTripParam = std::tuple<Format, int, Size>;

class DecodeAgainstReference : public testing::TestWithParam<RoundTripParam> {};

TEST_P(DecodeAgainstReference, StoresEveryPixelAsTheReferenceUnpacks) {
  const auto [format, interlace, size] = GetParam();
  const uint32_t seed = format.colour_type * 1000u + format.bit_depth * 10u +
                        static_cast<uint32_t>(interlace) + size.width * 7u + size.height;
  const SampleImage image = RandomImage(format, size.width, size.height, seed);
  // A gamma chunk first, so that colour samples pass through a table that is not the identity.
  const Bytes file = PngBuilder()
                         .Ihdr(size.width, size.height, format.bit_depth, format.colour_type,
                               static_cast<uint8_t>(interlace))
                         .Chunk("gAMA", Be32(100000))
                         .Idat(RawImageData(image, interlace == 1, seed))
                         .Iend()
                         .Data();
  const auto png = LoadPng(file);
  const png::TChunkIHDR& header = png->ImageHeader();
  const auto& gamma = png->DecodeGammaTable;
  ASSERT_NE(gamma[128], 128);

  EXPECT_EQ(StoredPixels(header), ExpectedPixels(image, gamma));
  if (format.colour_type == 4 || format.colour_type == 6) {
    const uint8_t* alpha = header.AlphaBuffer.get();
    EXPECT_EQ(std::vector<uint8_t>(alpha, alpha + size.width * size.height), ExpectedAlpha(image));
  }
  if (format.colour_type == 0 || format.colour_type == 4) {
    const int levels = 1 << header.BufferBitsPerPixel();
    for (int i = 0; i < levels; ++i) {
      const uint8_t level = gamma[(i * 255 + (levels - 1) / 2) / (levels - 1)];
      const platform::RGBQUAD& entry = header.BufferInfo.bmiColors[i];
      EXPECT_EQ(entry.rgbRed, level) << "ramp entry " << i;
      EXPECT_EQ(entry.rgbGreen, level) << "ramp entry " << i;
      EXPECT_EQ(entry.rgbBlue, level) << "ramp entry " << i;
    }
  }
  // Pass rows are combined into zeroed rows: nothing lands at or beyond the image width.
  if (interlace == 1 && header.BufferBitsPerPixel() < 8) {
    const uint32_t bits = static_cast<uint32_t>(header.BufferBitsPerPixel());
    for (uint32_t y = 0; y < size.height; ++y) {
      const uint8_t* row = header.PixelBuffer + header.RowStride * (size.height - 1 - y);
      for (uint32_t bit = size.width * bits; bit < header.RowStride * 8u; ++bit)
        ASSERT_EQ((row[bit / 8] >> (7 - bit % 8)) & 1, 0) << "row " << y << " bit " << bit;
    }
  }
}

std::string RoundTripName(const testing::TestParamInfo<RoundTripParam>& info) {
  const auto [format, interlace, size] = info.param;
  return "Type" + std::to_string(format.colour_type) + "Depth" + std::to_string(format.bit_depth) +
         (interlace == 1 ? "Adam7" : "Plain") + std::to_string(size.width) + "x" +
         std::to_string(size.height);
}

INSTANTIATE_TEST_SUITE_P(AllFormats, DecodeAgainstReference,
                         testing::Combine(testing::ValuesIn(kFormats), testing::Values(0, 1),
                                          testing::ValuesIn(kSizes)),
                         RoundTripName);

// --- The same image data cut into IDAT chunks in every awkward way.

struct Split {
  const char* name;
  std::vector<size_t> pattern;
};

class IdatSplit : public testing::TestWithParam<Split> {};

TEST_P(IdatSplit, DecodesToTheSameImage) {
  // Random truecolour compresses to more than 65,535 bytes.
  const SampleImage image = RandomImage({2, 8}, 200, 150, 42);
  const Bytes stream = ZlibCompress(RawImageData(image, false, 3));
  ASSERT_GT(stream.size(), 65535u);
  const Bytes file =
      PngBuilder().Ihdr(200, 150, 8, 2).IdatPieces(stream, GetParam().pattern).Iend().Data();
  const auto png = LoadPng(file);
  EXPECT_EQ(StoredPixels(png->ImageHeader()), ExpectedPixels(image, png->DecodeGammaTable));
}

INSTANTIATE_TEST_SUITE_P(Pieces, IdatSplit,
                         testing::Values(Split{"OneChunkOverTheBuffer", {SIZE_MAX}},
                                         Split{"EveryByteInsideHeaderAndScanlines", {1}},
                                         Split{"EmptyChunkBeforeEachByte", {0, 1}},
                                         Split{"OddPiecesAndRunsOfEmptyChunks", {2, 0, 0, 5, 3}},
                                         Split{"ExactlyTheBuffer", {65535}},
                                         Split{"OneByteOverTheBuffer", {65536}},
                                         Split{"SmallThenLarge", {7, 70000}}),
                         [](const testing::TestParamInfo<Split>& info) {
                           return std::string(info.param.name);
                         });

// --- Damaged, truncated and surplus image data.

constexpr uint32_t kWidth = 16;
constexpr uint32_t kHeight = 8;

SampleImage SmallImage() {
  return RandomImage({0, 8}, kWidth, kHeight, 7);
}

Bytes SmallRaw() {
  return RawImageData(SmallImage(), false, 0);
}

// The raw data without its last scanline.
Bytes SmallRawShort() {
  Bytes raw = SmallRaw();
  raw.erase(raw.end() - (kWidth + 1), raw.end());
  return raw;
}

Bytes Slice(const Bytes& bytes, size_t from, size_t to) {
  return Bytes(bytes.begin() + static_cast<long>(from), bytes.begin() + static_cast<long>(to));
}

PngBuilder Start(uint32_t height = kHeight) {
  PngBuilder builder;
  builder.Ihdr(kWidth, height, 8, 0);
  return builder;
}

Bytes IdatFrame(uint32_t length) {
  return Concat({Be32(length), {'I', 'D', 'A', 'T'}});
}

Bytes WithDictionary() {
  z_stream z{};
  deflateInit(&z, 9);
  const Bytef dictionary[] = "grey levels";
  deflateSetDictionary(&z, dictionary, sizeof dictionary);
  const Bytes raw = SmallRaw();
  Bytes out(deflateBound(&z, static_cast<uLong>(raw.size())));
  z.next_in = const_cast<Bytef*>(raw.data());
  z.avail_in = static_cast<uInt>(raw.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

struct DamageCase {
  const char* name;
  Bytes file;
  std::string failure;  // empty: the file loads and shows the image
};

std::vector<DamageCase> DamageCases() {
  const Bytes stream = ZlibCompress(SmallRaw());
  const Bytes first = Slice(stream, 0, stream.size() / 2);
  const Bytes second = Slice(stream, stream.size() / 2, stream.size());
  const Bytes short_stream = ZlibCompress(SmallRawShort());
  const std::string missing = Failure("EPNGMissingMultipleIDAT", png::kMissingMultipleIdat);
  const std::string crc = Failure("EPngInvalidCRC", png::kInvalidCrc);
  return {
      {"RowsMissingThenIend", Start().Idat(SmallRawShort()).Iend().Data(), missing},
      {"StreamCutShortThenIend", Start().Chunk("IDAT", first).Iend().Data(), missing},
      {"StreamEndsWithBytesLeftInChunk",
       Start().Chunk("IDAT", Concat({short_stream, Bytes(50, 0xAB)})).Iend().Data(), missing},
      {"StreamEndsThenAnotherIdat",
       Start().Chunk("IDAT", short_stream).Chunk("IDAT", {1, 2, 3}).Iend().Data(), missing},
      {"StreamEndsThenEmptyIdat",
       Start().Chunk("IDAT", short_stream).Chunk("IDAT", {}).Iend().Data(), missing},
      {"FileEndsInsideData", Start().Raw(Concat({IdatFrame(stream.size()), first})).Data(), crc},
      {"FileEndsBeforeCrc", Start().Raw(Concat({IdatFrame(stream.size()), stream})).Data(), crc},
      {"FileEndsAfterFirstChunk", Start().Chunk("IDAT", first).Data(), missing},
      {"NextLengthOf2To31",
       Start().Chunk("IDAT", first).Raw(Concat({IdatFrame(0x80000000u), second})).Data(), crc},
      {"BadCrcOnFirstOfTwo", Start().BadCrcChunk("IDAT", first).Chunk("IDAT", second).Iend().Data(),
       crc},
      {"BadCrcOnLastOfTwo", Start().Chunk("IDAT", first).BadCrcChunk("IDAT", second).Iend().Data(),
       crc},
      {"BadCrcOnEmptyChunkBetween",
       Start().Chunk("IDAT", first).BadCrcChunk("IDAT", {}).Chunk("IDAT", second).Iend().Data(),
       crc},
      {"PresetDictionary", Start().Chunk("IDAT", WithDictionary()).Iend().Data(),
       Failure("EPNGZLIBError", std::string(png::kZlibError) + "stream error (-2)")},
      {"SurplusIdatAfterTheImage",
       Start().Chunk("IDAT", stream).BadCrcChunk("IDAT", {9, 9}).Iend().Data(), ""},
      {"TailPastTheLastRefill",
       Start().Chunk("IDAT", Concat({stream, Bytes(70000, 0)})).Iend().Data(), ""},
      {"DamagedTailPastTheLastRefill",
       Start().BadCrcChunk("IDAT", Concat({stream, Bytes(70000, 0)})).Iend().Data(), crc},
      {"HeightZero", Start(0).Chunk("IDAT", stream).Iend().Data(), ""},
      {"HeightZeroDamaged", Start(0).BadCrcChunk("IDAT", stream).Iend().Data(), crc},
  };
}

TEST(IdatDamage, RaisesTheRightErrorOrLoads) {
  for (const DamageCase& c : DamageCases()) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LoadFailure(c.file), c.failure);
    if (c.failure.empty() && LoadPng(c.file)->Height() > 0) {
      const auto png = LoadPng(c.file);
      EXPECT_EQ(StoredPixels(png->ImageHeader()),
                ExpectedPixels(SmallImage(), png->DecodeGammaTable));
    }
  }
}

TEST(IdatDamage, CorruptDeflateDataReportsZlibsDataError) {
  // A deflate block of the reserved type 3.
  const Bytes file = Start().Chunk("IDAT", {0x78, 0x9C, 0x07, 0x00, 0x00}).Iend().Data();
  try {
    LoadPng(file);
    FAIL() << "loaded";
  } catch (const png::EPNGZLIBError& error) {
    EXPECT_EQ(error.Message(),
              "Could not decompress the image because it contains invalid compressed data.\r\n"
              " Description: data error (-3)");
  }
}

TEST(IdatDamage, HugeImageWithLittleDataFails) {
  // A few hundred bytes that claim 65535 x 65535 pixels and hold two rows. The format is
  // 1-bit grey because a sanitizer build spends seconds on the shadow of larger buffers.
  Bytes raw;
  for (int row = 0; row < 2; ++row) {
    raw.push_back(0);
    raw.insert(raw.end(), 8192, 0x55);
  }
  for (uint8_t interlace : {0, 1}) {
    SCOPED_TRACE(interlace);
    const Bytes file = PngBuilder().Ihdr(65535, 65535, 1, 0, interlace).Idat(raw).Iend().Data();
    EXPECT_LT(file.size(), 1000u);
    EXPECT_EQ(LoadFailure(file), Failure("EPNGMissingMultipleIDAT", png::kMissingMultipleIdat));
  }
}

TEST(IdatDamage, PairsWithoutUnpackingRoutineAreRefusedBeforeAnyRow) {
  constexpr Format kRefused[] = {{2, 4}, {0, 3}, {5, 8}, {6, 4}, {4, 4}, {2, 1}, {4, 2}, {0, 0}};
  for (const Format& format : kRefused) {
    SCOPED_TRACE(testing::Message() << int{format.colour_type} << "/" << int{format.bit_depth});
    const Bytes file = PngBuilder()
                           .Ihdr(9, 5, format.bit_depth, format.colour_type)
                           .Idat(Bytes(200, 0x11))
                           .Iend()
                           .Data();
    EXPECT_EQ(LoadFailure(file), Failure("EPngInvalidIHDR", png::kInvalidIhdr));
  }
}

// --- Scanlines with known bytes.

struct KnownRow {
  const char* name;
  Format format;
  uint32_t width;
  uint8_t interlace;
  Bytes raw;  // all scanlines, with filter-type bytes
  Bytes image_row;
  Bytes alpha_row;
};

TEST(KnownScanlines, StoreTheseBytes) {
  const KnownRow cases[] = {
      {"Grey1", {0, 1}, 4, 0, {0, 0xB0}, {0xB0, 0, 0, 0}, {}},
      {"Indexed2", {3, 2}, 4, 0, {0, 0x1B}, {0x01, 0x23, 0, 0}, {}},
      {"Grey2", {0, 2}, 4, 0, {0, 0x1B}, {0x04, 0x8C, 0, 0}, {}},
      // Passes 0, 3 and 5 hold columns 0, 2 and 1, 3.
      {"Grey2Adam7", {0, 2}, 4, 1, {0, 0x00, 0, 0x80, 0, 0x7C}, {0x04, 0x8C, 0, 0}, {}},
      {"Rgb16DropsLowBytes",
       {2, 16},
       1,
       0,
       {0, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC},
       {0x9A, 0x56, 0x12, 0},
       {}},
      {"RgbAlpha8", {6, 8}, 1, 0, {0, 10, 20, 30, 40}, {30, 20, 10, 0}, {40}},
      {"GreyAlpha16", {4, 16}, 1, 0, {0, 0x80, 0x01, 0xFF, 0x00}, {0x80, 0, 0, 0}, {0xFF}},
      // Pass 0 carries one pixel and seven spare bits, all set; only column 0 takes a bit.
      {"Grey1Adam7SpareBits", {0, 1}, 3, 1, {0, 0xFF, 0, 0x80, 0, 0x80}, {0xE0, 0, 0, 0}, {}},
      // Types 5 and 255 leave the scanline as stored.
      {"FilterType5", {0, 8}, 2, 0, {5, 7, 9}, {7, 9, 0, 0}, {}},
      {"FilterType255", {0, 8}, 2, 0, {255, 7, 9}, {7, 9, 0, 0}, {}},
  };
  for (const KnownRow& c : cases) {
    SCOPED_TRACE(c.name);
    const auto png =
        LoadPng(PngBuilder()
                    .Ihdr(c.width, 1, c.format.bit_depth, c.format.colour_type, c.interlace)
                    .Idat(c.raw)
                    .Iend()
                    .Data());
    const png::TChunkIHDR& header = png->ImageHeader();
    ASSERT_EQ(static_cast<size_t>(header.RowStride), c.image_row.size());
    EXPECT_EQ(Bytes(header.PixelBuffer, header.PixelBuffer + header.RowStride), c.image_row);
    if (!c.alpha_row.empty()) {
      EXPECT_EQ(Bytes(header.AlphaBuffer.get(), header.AlphaBuffer.get() + c.width), c.alpha_row);
    }
  }
}

TEST(KnownScanlines, GreyRampsHoldTheDepthsLevels) {
  const auto grey1 = LoadPng(PngBuilder().Ihdr(1, 1, 1, 0).Idat({0, 0}).Iend().Data());
  EXPECT_EQ(grey1->ImageHeader().BufferInfo.bmiColors[1].rgbGreen, 255);
  const auto grey2 = LoadPng(PngBuilder().Ihdr(1, 1, 2, 0).Idat({0, 0}).Iend().Data());
  const platform::RGBQUAD* ramp = grey2->ImageHeader().BufferInfo.bmiColors;
  // The brightest 2-bit grey, pixel 12, shows 204.
  EXPECT_EQ(ramp[4].rgbRed, 68);
  EXPECT_EQ(ramp[8].rgbRed, 136);
  EXPECT_EQ(ramp[12].rgbRed, 204);
  EXPECT_EQ(ramp[15].rgbRed, 255);
}

TEST(KnownScanlines, WidthZeroReadsOneFilterByteARowPlainAndNothingInterlaced) {
  EXPECT_EQ(LoadFailure(PngBuilder().Ihdr(0, 3, 8, 2).Idat({0, 0, 0}).Iend().Data()), "");
  EXPECT_EQ(LoadFailure(PngBuilder().Ihdr(0, 3, 8, 2).Idat({0, 0}).Iend().Data()),
            Failure("EPNGMissingMultipleIDAT", png::kMissingMultipleIdat));
  EXPECT_EQ(LoadFailure(PngBuilder().Ihdr(0, 3, 8, 2, 1).Idat({}).Iend().Data()), "");
}

// --- Row filters on their own.

struct FilterCase {
  const char* name;
  uint8_t type;
  uint32_t stride;
  Bytes row;
  Bytes prior;
  Bytes expected;
};

TEST(UndoRowFilter, KnownRows) {
  const FilterCase cases[] = {
      {"SubKeepsFirstPixel",
       1,
       3,
       {200, 2, 3, 100, 5, 6},
       {9, 9, 9, 9, 9, 9},
       {200, 2, 3, 44, 7, 9}},
      {"SubShorterThanStride", 1, 3, {1, 2}, {9, 9}, {1, 2}},
      {"Up", 2, 1, {1, 255}, {2, 3}, {3, 2}},
      {"AverageHalvesTheFullSum", 3, 1, {255, 0}, {0, 255}, {255, 255}},
      {"AverageOfOneAndTwo", 3, 1, {1, 10}, {0, 2}, {1, 11}},
      {"AverageFirstPixelUsesAboveOnly", 3, 2, {1, 1, 1}, {4, 6, 8}, {3, 4, 1 + (3 + 8) / 2}},
      {"PaethTiesGoLeft", 4, 1, {0, 1}, {5, 5}, {5, 6}},
      {"PaethAbove", 4, 1, {static_cast<uint8_t>(0 - 2), 1}, {2, 6}, {0, 7}},
      {"PaethUpperLeft", 4, 1, {static_cast<uint8_t>(10 - 15), 1}, {15, 20}, {10, 16}},
      {"None", 0, 1, {1, 2}, {3, 4}, {1, 2}},
      {"Type5", 5, 1, {1, 2}, {3, 4}, {1, 2}},
  };
  png::TPNGObject owner;
  png::TChunkIDAT chunk(&owner);
  for (const FilterCase& c : cases) {
    SCOPED_TRACE(c.name);
    chunk.RowSize = static_cast<int32_t>(c.row.size());
    chunk.FilterStride = c.stride;
    chunk.CurrentRow = 1;
    chunk.RowBuffers[1] = Concat({{c.type}, c.row});
    chunk.RowBuffers[0] = Concat({{0}, c.prior});
    chunk.UndoRowFilter();
    EXPECT_EQ(Slice(chunk.RowBuffers[1], 1, chunk.RowBuffers[1].size()), c.expected);
  }
}

TEST(UndoRowFilter, PaethAgreesWithPaethNeighbour) {
  EXPECT_EQ(png::PaethNeighbour(5, 5, 5), 5);
  EXPECT_EQ(png::PaethNeighbour(0, 6, 2), 6);
  EXPECT_EQ(png::PaethNeighbour(10, 20, 15), 15);
  std::mt19937 rng(5);
  png::TPNGObject owner;
  png::TChunkIDAT chunk(&owner);
  for (uint32_t stride : {1u, 2u, 3u, 4u, 6u, 8u}) {
    Bytes row(64), prior(64);
    for (size_t i = 0; i < row.size(); ++i) {
      row[i] = static_cast<uint8_t>(rng());
      prior[i] = static_cast<uint8_t>(rng());
    }
    Bytes expected = row;
    for (size_t i = 0; i < expected.size(); ++i) {
      const uint8_t left = i >= stride ? expected[i - stride] : 0;
      const uint8_t upper_left = i >= stride ? prior[i - stride] : 0;
      expected[i] =
          static_cast<uint8_t>(expected[i] + png::PaethNeighbour(left, prior[i], upper_left));
    }
    chunk.RowSize = 64;
    chunk.FilterStride = stride;
    chunk.CurrentRow = 0;
    chunk.RowBuffers[0] = Concat({{4}, row});
    chunk.RowBuffers[1] = Concat({{0}, prior});
    chunk.UndoRowFilter();
    EXPECT_EQ(Slice(chunk.RowBuffers[0], 1, 65), expected) << "stride " << stride;
  }
}

// The row filter loops against the filters' definitions, byte by byte, for every pixel size
// the decoder meets (and some it does not), on random rows.

// The unfiltered row, computed straight from the definitions.
std::vector<uint8_t> UnfilterReference(uint8_t type, const std::vector<uint8_t>& filtered,
                                       const std::vector<uint8_t>& prior, int stride) {
  std::vector<uint8_t> out(filtered.size());
  for (size_t i = 0; i < out.size(); ++i) {
    const int a = i >= static_cast<size_t>(stride) ? out[i - stride] : 0;
    const int b = prior[i];
    const int c = i >= static_cast<size_t>(stride) ? prior[i - stride] : 0;
    int predictor = 0;
    switch (type) {
      case png::kFilterSub:
        predictor = a;
        break;
      case png::kFilterUp:
        predictor = b;
        break;
      case png::kFilterAverage:
        predictor = (a + b) / 2;
        break;
      case png::kFilterPaeth:
        predictor = PaethReference(a, b, c);
        break;
      default:
        break;
    }
    out[i] = static_cast<uint8_t>(filtered[i] + predictor);
  }
  return out;
}

TEST(UnfilterRow, MatchesTheFilterDefinitions) {
  std::mt19937 random(7);
  for (int stride : {1, 2, 3, 4, 5, 6, 8}) {
    for (int size : {0, 1, 2, 3, 5, 6, 8, 15, 16, 17, 24, 33, 48, 100, 301}) {
      for (uint8_t type = 0; type <= 5; ++type) {
        // Rows of extremes as well as of noise: the Paeth distances reach their ends.
        for (int kind = 0; kind < 3; ++kind) {
          std::vector<uint8_t> filtered(static_cast<size_t>(size));
          std::vector<uint8_t> prior(static_cast<size_t>(size));
          for (int i = 0; i < size; ++i) {
            filtered[i] = kind == 1 ? 0 : static_cast<uint8_t>(random());
            prior[i] = kind == 2 ? static_cast<uint8_t>((random() & 1) * 255)
                                 : static_cast<uint8_t>(random());
          }
          std::vector<uint8_t> row = filtered;
          png::UnfilterRow(type, row.data(), prior.data(), size, stride);
          ASSERT_EQ(row, UnfilterReference(type, filtered, prior, stride))
              << "type " << int{type} << " stride " << stride << " size " << size;
        }
      }
    }
  }
}

// --- The one-shot decompression and the zlib texts.

TEST(DecompressBlock, InflatesWholeStreamsAndReportsBrokenOnes) {
  Bytes text;
  for (int i = 0; i < 1000; ++i)
    text.push_back(static_cast<uint8_t>('a' + i % 23));
  const Bytes stream = ZlibCompress(text);
  struct Case {
    const char* name;
    Bytes data;
    bool result;
  };
  const Case cases[] = {
      {"LongerThanTheWorkBuffer", stream, true},
      {"CutShort", Slice(stream, 0, stream.size() - 10), false},
      {"ReservedBlockType", {0x78, 0x9C, 0x07, 0x00}, false},
      {"PresetDictionary", WithDictionary(), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> block;
    int32_t size = -1;
    std::string message;
    EXPECT_EQ(png::DecompressBlock(c.data.data(), static_cast<int32_t>(c.data.size()), block, size,
                                   message),
              c.result);
    EXPECT_EQ(static_cast<size_t>(size), block.size());
    if (c.result) {
      EXPECT_EQ(block, text);
    }
  }
  std::vector<uint8_t> block;
  int32_t size = 0;
  std::string message;
  const Bytes corrupt = {0x78, 0x9C, 0x07, 0x00};
  png::DecompressBlock(corrupt.data(), 4, block, size, message);
  EXPECT_EQ(message, "invalid block type");
}

TEST(ZlibResultDescription, NamesEveryCodeInflateReturns) {
  const char* const texts[] = {"incompatible version (-6)",
                               "buffer error (-5)",
                               "insufficient memory (-4)",
                               "data error (-3)",
                               "stream error (-2)",
                               "file error (-1)",
                               "(0)",
                               "stream end (1)",
                               "need dictionary (2)"};
  for (int code = -6; code <= 2; ++code)
    EXPECT_EQ(png::ZlibResultDescription(code), texts[code + 6]);
  EXPECT_EQ(png::ZlibResultDescription(3), "");
}

}  // namespace
}  // namespace tests
