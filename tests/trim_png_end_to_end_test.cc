// The trim program run on PNG files in a temporary folder. Inputs are composed from raw
// scanlines with zlib, and outputs are judged by libpng, pngcheck and zlib, so that neither
// side leans on the codec itself.
#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tests/bmp_builder.h"
#include "tests/encoder_test_support.h"
#include "tests/png_builder.h"
#include "tests/png_test_support.h"
#include "tests/program_runner.h"

namespace {

using tests::Bytes;
using tests::FileBytes;
using tests::RunResult;
using tests::RunTrim;
using tests::WriteBytes;
using Rgb = std::array<uint8_t, 3>;

struct PassGeometry {
  uint32_t x0, y0, dx, dy;
};
constexpr PassGeometry kWholeImage[] = {{0, 0, 1, 1}};
constexpr PassGeometry kAdam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                   {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

// One scanline of the image data: the pixels x0, x0 + dx, ... (count of them) of row y.
struct Scanline {
  uint32_t y, x0, dx, count;
};

// The scanlines of an image in the order the image data holds them.
std::vector<Scanline> ScanlinesOf(uint32_t width, uint32_t height, bool interlaced) {
  std::vector<Scanline> lines;
  for (const PassGeometry& pass : interlaced ? std::span<const PassGeometry>(kAdam7)
                                             : std::span<const PassGeometry>(kWholeImage)) {
    if (pass.x0 >= width) continue;
    const uint32_t count = (width - pass.x0 + pass.dx - 1) / pass.dx;
    for (uint32_t y = pass.y0; y < height; y += pass.dy)
      lines.push_back({y, pass.x0, pass.dx, count});
  }
  return lines;
}

struct Format {
  uint8_t colour_type;
  uint8_t bit_depth;
};

// Margins of a frame, in pixels.
struct Frame {
  uint32_t left, top, right, bottom;
};

// An image at its file's bit depth: samples[y][x * channels + channel].
struct Picture {
  Format format;
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<std::vector<uint16_t>> samples;
  std::vector<Rgb> palette;  // colour type 3 only

  int Channels() const { return tests::SamplesPerPixel(format.colour_type); }
  uint16_t Sample(uint32_t x, uint32_t y, int channel) const {
    return samples[y][x * Channels() + channel];
  }
};

uint32_t Hash(uint32_t x, uint32_t y, uint32_t channel) {
  uint32_t h = (x * 2654435761u) ^ (y * 40503u) ^ (channel * 0x9E3779B9u);
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  return h ^ (h >> 12);
}

// width x height: a uniform frame (white grey, palette entry 0, a yellow, alpha 0) around a
// varied pattern without long runs. 16-bit samples carry noise in their low bytes, frame
// included: it is lost at 8 bits, so the frame is still uniform there.
Picture FramedPicture(Format format, uint32_t width, uint32_t height, Frame frame) {
  Picture picture{format, width, height, {}, {}};
  const uint32_t depth = format.bit_depth;
  const bool indexed = format.colour_type == 3;
  if (indexed) {
    // Fewer entries than the bit depth allows at 8 bits; distinct reds make distinct colours.
    const uint32_t entries = depth == 8 ? 200 : 1u << depth;
    for (uint32_t i = 0; i < entries; ++i) {
      picture.palette.push_back({static_cast<uint8_t>(30 + 53 * i),
                                 static_cast<uint8_t>(120 + 101 * i),
                                 static_cast<uint8_t>(200 + 29 * i)});
    }
  }
  const int channels = picture.Channels();
  const bool has_alpha = format.colour_type == 4 || format.colour_type == 6;
  const uint32_t levels =
      indexed ? static_cast<uint32_t>(picture.palette.size()) : (depth == 16 ? 256 : 1u << depth);
  constexpr uint8_t kFrameColour[] = {250, 240, 10};
  for (uint32_t y = 0; y < height; ++y) {
    std::vector<uint16_t> row;
    for (uint32_t x = 0; x < width; ++x) {
      const bool in_frame =
          x < frame.left || x >= width - frame.right || y < frame.top || y >= height - frame.bottom;
      for (int c = 0; c < channels; ++c) {
        const bool alpha = has_alpha && c == channels - 1;
        uint32_t value;
        if (in_frame && (alpha || indexed)) {
          value = 0;
        } else if (in_frame) {
          value = channels >= 3 ? kFrameColour[c] : levels - 1;
        } else if (levels == 2) {
          value = (x + y + c) % 2;
        } else {
          value = Hash(x, y, c) % (alpha ? 256 : levels);
        }
        if (depth == 16) value = (value << 8) | (Hash(y, x, c + 7) & 0xFF);
        row.push_back(static_cast<uint16_t>(value));
      }
    }
    picture.samples.push_back(row);
  }
  return picture;
}

// The raw image data: each scanline as filter type 0 and its packed samples.
Bytes RawImageData(const Picture& picture, bool interlaced) {
  const int depth = picture.format.bit_depth;
  Bytes raw;
  for (const Scanline& line : ScanlinesOf(picture.width, picture.height, interlaced)) {
    raw.push_back(0);
    uint32_t bits = 0;
    int bit_count = 0;
    for (uint32_t i = 0; i < line.count; ++i) {
      for (int c = 0; c < picture.Channels(); ++c) {
        const uint16_t sample = picture.Sample(line.x0 + i * line.dx, line.y, c);
        if (depth == 16) {
          raw.push_back(static_cast<uint8_t>(sample >> 8));
          raw.push_back(static_cast<uint8_t>(sample));
          continue;
        }
        bits = (bits << depth) | sample;
        bit_count += depth;
        if (bit_count == 8) {
          raw.push_back(static_cast<uint8_t>(bits));
          bits = 0;
          bit_count = 0;
        }
      }
    }
    if (bit_count > 0) raw.push_back(static_cast<uint8_t>(bits << (8 - bit_count)));
  }
  return raw;
}

Bytes PaletteData(const Picture& picture) {
  Bytes data;
  for (const Rgb& entry : picture.palette)
    data.insert(data.end(), entry.begin(), entry.end());
  return data;
}

// One chunk as a file holds it.
Bytes ChunkBytes(std::string_view type, const Bytes& data) {
  const Bytes file = tests::PngBuilder().Chunk(type, data).Data();
  return Bytes(file.begin() + 8, file.end());
}

// Header, palette when indexed, and the image data cut into small IDAT chunks, with the
// given chunks before and after the palette.
tests::PngBuilder PngOf(const Picture& picture, bool interlaced, const Bytes& before_palette = {},
                        const Bytes& after_palette = {}) {
  tests::PngBuilder builder;
  builder.Ihdr(picture.width, picture.height, picture.format.bit_depth, picture.format.colour_type,
               interlaced ? 1 : 0);
  builder.Raw(before_palette);
  if (!picture.palette.empty()) builder.Chunk("PLTE", PaletteData(picture));
  builder.Raw(after_palette);
  builder.Idat(RawImageData(picture, interlaced), 100);
  return builder;
}

// The level the decoder's grey ramp gives a grey sample at 8 bits.
uint8_t GreyLevel(uint32_t sample, uint32_t depth) {
  switch (depth) {
    case 1:
      return static_cast<uint8_t>(sample * 255);
    case 2:
      // A 2-bit sample lies in a 4-bit buffer as four times its value.
      return static_cast<uint8_t>(sample * 4 * 17);
    case 4:
      return static_cast<uint8_t>(sample * 17);
    case 16:
      return static_cast<uint8_t>(sample >> 8);
    default:
      return static_cast<uint8_t>(sample);
  }
}

// The colour a pixel shows: grey levels, palette colours, the high bytes of colour samples;
// alpha plays no part.
Rgb ColourOf(const Picture& picture, uint32_t x, uint32_t y) {
  const uint32_t depth = picture.format.bit_depth;
  switch (picture.format.colour_type) {
    case 3:
      return picture.palette[picture.Sample(x, y, 0)];
    case 0:
    case 4: {
      const uint8_t grey = GreyLevel(picture.Sample(x, y, 0), depth);
      return {grey, grey, grey};
    }
    default: {
      const int shift = depth == 16 ? 8 : 0;
      return {static_cast<uint8_t>(picture.Sample(x, y, 0) >> shift),
              static_cast<uint8_t>(picture.Sample(x, y, 1) >> shift),
              static_cast<uint8_t>(picture.Sample(x, y, 2) >> shift)};
    }
  }
}

Rgb DecodedColour(const tests::DecodedPng& image, uint32_t x, uint32_t y) {
  if (image.colour_type == 3) {
    const uint32_t index = tests::SampleOf(image, x, y, 0);
    if (3 * index + 2 >= image.palette_rgb.size()) return {0, 0, 0};
    return {image.palette_rgb[3 * index], image.palette_rgb[3 * index + 1],
            image.palette_rgb[3 * index + 2]};
  }
  return {static_cast<uint8_t>(tests::SampleOf(image, x, y, 0)),
          static_cast<uint8_t>(tests::SampleOf(image, x, y, 1)),
          static_cast<uint8_t>(tests::SampleOf(image, x, y, 2))};
}

std::vector<std::string> OnlyCriticalChunks(bool indexed, size_t idat_count) {
  std::vector<std::string> types{"IHDR"};
  if (indexed) types.push_back("PLTE");
  types.insert(types.end(), idat_count, "IDAT");
  types.push_back("IEND");
  return types;
}

// The image data is one zlib stream made at level 9 (header 78 DA) in which every
// scanline, of every Adam7 pass when interlaced, carries filter type 1 (Sub).
void ExpectLevel9AndSubFilters(const Bytes& file, const tests::DecodedPng& image) {
  const std::vector<Bytes> payloads = tests::IdatPayloadsOf(file);
  ASSERT_FALSE(payloads.empty());
  ASSERT_GE(payloads[0].size(), 2u);
  EXPECT_EQ(payloads[0][0], 0x78);
  EXPECT_EQ(payloads[0][1], 0xDA);
  const Bytes raw = tests::InflateImageData(file);
  const uint32_t bits_per_pixel = static_cast<uint32_t>(image.bit_depth) *
                                  tests::SamplesPerPixel(static_cast<uint8_t>(image.colour_type));
  size_t at = 0;
  for (const Scanline& line : ScanlinesOf(image.width, image.height, image.interlace == 1)) {
    ASSERT_LT(at, raw.size());
    ASSERT_EQ(raw[at], 1) << "scanline of row " << line.y << " from column " << line.x0;
    at += 1 + (static_cast<size_t>(line.count) * bits_per_pixel + 7) / 8;
  }
  EXPECT_EQ(at, raw.size());
  // zlib at level 9 with its other defaults makes the very same stream.
  Bytes stream;
  for (const Bytes& payload : payloads)
    stream.insert(stream.end(), payload.begin(), payload.end());
  EXPECT_EQ(stream, tests::ZlibCompress(raw, 9));
}

void SetOldModificationTime(const std::string& path) {
  const timespec times[2] = {{978307200, 0}, {978307200, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class TrimPngEndToEndTest : public tests::TemporaryFolderTest {};

TEST_F(TrimPngEndToEndTest, TrimsEveryColourTypeAndBitDepth) {
  constexpr Format kFormats[] = {{0, 1}, {0, 2}, {0, 4},  {0, 8}, {0, 16}, {3, 1}, {3, 2}, {3, 4},
                                 {3, 8}, {2, 8}, {2, 16}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
  constexpr uint32_t kWidth = 23;
  constexpr uint32_t kHeight = 19;
  constexpr Frame kFrame{3, 2, 3, 4};
  constexpr uint32_t kTrimmedWidth = kWidth - kFrame.left - kFrame.right;
  constexpr uint32_t kTrimmedHeight = kHeight - kFrame.top - kFrame.bottom;
  struct Case {
    std::string path;
    Picture picture;
    bool interlaced;
  };
  std::vector<Case> cases;
  std::vector<std::string> paths;
  for (const Format& format : kFormats) {
    for (const bool interlaced : {false, true}) {
      const std::string name = "type" + std::to_string(format.colour_type) + "-" +
                               std::to_string(format.bit_depth) + "bit" +
                               (interlaced ? "-adam7" : "") + ".png";
      cases.push_back({PathOf(name), FramedPicture(format, kWidth, kHeight, kFrame), interlaced});
      const Bytes input = PngOf(cases.back().picture, interlaced).Iend().Data();
      ASSERT_EQ(tests::DecodeWithLibpng(input).error, "") << name;
      WriteBytes(cases.back().path, input);
      paths.push_back(cases.back().path);
    }
  }

  const RunResult result = RunTrim(paths);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const Bytes file = FileBytes(c.path);
    EXPECT_EQ(tests::PngcheckComplaint(file), "");
    const tests::DecodedPng image = tests::DecodeWithLibpng(file);
    ASSERT_EQ(image.error, "");
    ASSERT_EQ(image.width, kTrimmedWidth);
    ASSERT_EQ(image.height, kTrimmedHeight);
    EXPECT_EQ(image.interlace, c.interlaced ? 1 : 0);

    // Truecolour, with alpha or not, comes back as 8-bit truecolour; the others as indexed
    // images at the bit depth of the bitmap that held them (2-bit in a 4-bit one, 16-bit
    // grey in an 8-bit one).
    const Format format = c.picture.format;
    const bool truecolour = format.colour_type == 2 || format.colour_type == 6;
    const int bitmap_depth = format.bit_depth == 1 ? 1 : format.bit_depth <= 4 ? 4 : 8;
    if (truecolour) {
      EXPECT_EQ(image.colour_type, 2);
      EXPECT_EQ(image.bit_depth, 8);
    } else {
      EXPECT_EQ(image.colour_type, 3);
      EXPECT_EQ(image.bit_depth, bitmap_depth);
      ASSERT_EQ(image.palette_rgb.size(), 3u << bitmap_depth);
    }
    if (format.colour_type == 0 || format.colour_type == 4) {
      // The grey ramp of the decoder, unchanged.
      const uint32_t entries = 1u << bitmap_depth;
      for (uint32_t i = 0; i < entries; ++i) {
        const uint8_t grey = static_cast<uint8_t>(i * 255 / (entries - 1));
        EXPECT_EQ(Rgb({image.palette_rgb[3 * i], image.palette_rgb[3 * i + 1],
                       image.palette_rgb[3 * i + 2]}),
                  Rgb({grey, grey, grey}))
            << "palette entry " << i;
      }
    }
    for (uint32_t y = 0; y < kTrimmedHeight; ++y) {
      for (uint32_t x = 0; x < kTrimmedWidth; ++x) {
        ASSERT_EQ(DecodedColour(image, x, y), ColourOf(c.picture, x + kFrame.left, y + kFrame.top))
            << "at " << x << ", " << y;
      }
    }
    EXPECT_EQ(tests::ChunkTypesOf(file),
              OnlyCriticalChunks(!truecolour, tests::IdatPayloadsOf(file).size()));
    ExpectLevel9AndSubFilters(file, image);
  }
}

// Whatever the loaded file held beside its image, the trimmed file holds only the header,
// the palette of an indexed image, the image data and the end.
TEST_F(TrimPngEndToEndTest, KeepsOnlyCriticalChunks) {
  const Bytes text = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 'f', 'r', 'a', 'm', 'e', 'd'};
  Bytes compressed_text = {'T', 'i', 't', 'l', 'e', 0, 0};
  const Bytes title = tests::ZlibCompress({'A', ' ', 't', 'i', 't', 'l', 'e'});
  compressed_text.insert(compressed_text.end(), title.begin(), title.end());
  const Bytes time = {0x07, 0xE8, 5, 17, 12, 30, 45};
  const struct {
    const char* name;
    Format format;
    bool interlaced;
    Bytes transparency;  // empty: no tRNS chunk
  } kCases[] = {
      {"truecolour-key.png", {2, 8}, false, {0, 250, 0, 240, 0, 10}},
      {"grey-key.png", {0, 4}, true, {0, 15}},
      {"indexed-alphas.png", {3, 4}, false, {0, 128, 255}},
      {"indexed-key.png", {3, 8}, true, {255, 0}},
      {"rgba.png", {6, 16}, false, {}},
  };
  std::vector<std::string> paths;
  for (const auto& c : kCases) {
    paths.push_back(PathOf(c.name));
    const Bytes before_palette =
        tests::Concat({ChunkBytes("gAMA", tests::Be32(45455)), ChunkBytes("tEXt", text),
                       ChunkBytes("prVt", {1, 2, 3})});
    const Bytes after_palette =
        c.transparency.empty() ? Bytes{} : ChunkBytes("tRNS", c.transparency);
    const Picture picture = FramedPicture(c.format, 21, 14, {2, 1, 1, 3});
    WriteBytes(paths.back(), PngOf(picture, c.interlaced, before_palette, after_palette)
                                 .Chunk("tIME", time)
                                 .Chunk("zTXt", compressed_text)
                                 .Chunk("prVt", {4})
                                 .Iend()
                                 .Data());
  }

  const RunResult result = RunTrim(paths);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  for (size_t i = 0; i < paths.size(); ++i) {
    SCOPED_TRACE(paths[i]);
    const Bytes file = FileBytes(paths[i]);
    const tests::DecodedPng image = tests::DecodeWithLibpng(file);
    ASSERT_EQ(image.error, "");
    EXPECT_EQ(image.width, 18u);
    EXPECT_EQ(image.height, 10u);
    EXPECT_EQ(tests::ChunkTypesOf(file),
              OnlyCriticalChunks(
                  kCases[i].format.colour_type != 2 && kCases[i].format.colour_type != 6, 1));
  }
}

// The image data is one level-9 stream: cut into several IDAT chunks when it is large (noise
// does not compress), and unlike what level 7 makes for a picture with long repeats.
TEST_F(TrimPngEndToEndTest, WritesOneLevel9Stream) {
  Picture woven = FramedPicture({2, 8}, 66, 50, {1, 1, 1, 1});
  for (uint32_t y = 1; y < 49; ++y) {
    for (uint32_t x = 1; x < 65; ++x) {
      const uint32_t u = x - 1;
      const uint32_t v = y - 1;
      woven.samples[y][3 * x] = static_cast<uint16_t>((u ^ v) % 256);
      woven.samples[y][3 * x + 1] = static_cast<uint16_t>((u * 3 ^ v * 5) % 256);
      woven.samples[y][3 * x + 2] = static_cast<uint16_t>((u | v) * 7 % 256);
    }
  }
  const struct {
    const char* name;
    Picture picture;
    uint32_t width, height;
    size_t min_idat_count;
  } kCases[] = {
      {"noise.png", FramedPicture({2, 8}, 180, 150, {5, 5, 5, 5}), 170, 140, 2},
      {"woven.png", woven, 64, 48, 1},
  };
  std::vector<std::string> paths;
  for (const auto& c : kCases) {
    paths.push_back(PathOf(c.name));
    WriteBytes(paths.back(), PngOf(c.picture, false).Iend().Data());
  }

  const RunResult result = RunTrim(paths);
  EXPECT_EQ(result.status, 0);
  for (size_t i = 0; i < paths.size(); ++i) {
    SCOPED_TRACE(paths[i]);
    const Bytes file = FileBytes(paths[i]);
    const tests::DecodedPng image = tests::DecodeWithLibpng(file);
    ASSERT_EQ(image.error, "");
    EXPECT_EQ(image.width, kCases[i].width);
    EXPECT_EQ(image.height, kCases[i].height);
    const size_t idat_count = tests::IdatPayloadsOf(file).size();
    EXPECT_GE(idat_count, kCases[i].min_idat_count);
    EXPECT_EQ(tests::ChunkTypesOf(file), OnlyCriticalChunks(false, idat_count));
    ExpectLevel9AndSubFilters(file, image);
  }
}

// Files with no border (or nothing worth keeping) are read but never written: their bytes,
// ancillary chunks included, and their modification time stay.
TEST_F(TrimPngEndToEndTest, LeavesFilesWithoutBorderUntouched) {
  const Bytes ancillary = ChunkBytes("tEXt", {'k', 0, 'v'});
  const struct {
    const char* name;
    Bytes bytes;
  } kCases[] = {
      {"no-border.png", PngOf(FramedPicture({2, 8}, 16, 12, {0, 0, 0, 0}), false).Iend().Data()},
      {"no-border-adam7.png",
       PngOf(FramedPicture({0, 16}, 13, 9, {0, 0, 0, 0}), true, ancillary).Iend().Data()},
      {"uniform.png",
       PngOf(FramedPicture({3, 2}, 9, 9, {9, 9, 9, 9}), false, ancillary).Iend().Data()},
  };
  std::vector<std::string> paths;
  for (const auto& c : kCases) {
    paths.push_back(PathOf(c.name));
    WriteBytes(paths.back(), c.bytes);
    SetOldModificationTime(paths.back());
  }

  const RunResult result = RunTrim(paths);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  for (size_t i = 0; i < paths.size(); ++i) {
    SCOPED_TRACE(paths[i]);
    EXPECT_EQ(FileBytes(paths[i]), kCases[i].bytes);
    struct stat info;
    ASSERT_EQ(::stat(paths[i].c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, 978307200);
  }
}

TEST_F(TrimPngEndToEndTest, FirstErrorEndsTheRun) {
  const Bytes framed = PngOf(FramedPicture({2, 8}, 10, 10, {1, 1, 1, 1}), false).Iend().Data();
  tests::BmpFixture bmp;
  bmp.width = 2;
  bmp.height = 2;
  bmp.pixels = tests::PackRows(24, {{0xFFFFFF, 0}, {0, 0xFFFFFF}});
  const Picture picture = FramedPicture({3, 4}, 10, 10, {1, 1, 1, 1});
  const Bytes damaged = tests::PngBuilder()
                            .Ihdr(10, 10, 4, 3)
                            .BadCrcChunk("PLTE", PaletteData(picture))
                            .Idat(RawImageData(picture, false))
                            .Iend()
                            .Data();
  const struct {
    const char* name;
    Bytes bytes;
    const char* report;
  } kCases[] = {
      {"bmp-named.png", tests::BuildBmp(bmp),
       "EPNGInvalidFileHeader: The file being readed is not a valid \"Portable Network "
       "Graphics\" image because it contains an invalid header. This file may be corruped, try "
       "obtaining it again."},
      {"png-named.bmp", framed, "EInvalidGraphic: Bitmap image is not valid"},
      {"bad-crc.png", damaged,
       "EPngInvalidCRC: This \"Portable Network Graphics\" image is not valid because it "
       "contains invalid pieces of data (crc error)"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string first = PathOf("first.png");
    const std::string bad = PathOf(c.name);
    const std::string later = PathOf("later.png");
    WriteBytes(first, framed);
    WriteBytes(bad, c.bytes);
    WriteBytes(later, framed);

    const RunResult result = RunTrim({first, bad, later});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "trim: " + bad + ": " + c.report + "\n");
    EXPECT_EQ(tests::DecodeWithLibpng(FileBytes(first)).width, 8u);
    EXPECT_EQ(FileBytes(bad), c.bytes);
    EXPECT_EQ(FileBytes(later), framed);
  }
}

// A save that cannot complete leaves the original as it was and no temporary file behind.
TEST_F(TrimPngEndToEndTest, FailedSaveKeepsTheOriginal) {
  const std::string path = PathOf("noisy.png");
  // Noise compresses badly, so the trimmed file is far above the limit.
  WriteBytes(path, PngOf(FramedPicture({2, 8}, 64, 64, {1, 1, 1, 1}), false).Iend().Data());
  const Bytes before = FileBytes(path);
  const std::set<std::string> entries = tests::FolderEntries(folder_);

  const RunResult result = RunTrim({path}, rlim_t{4096});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err.rfind("trim: " + path + ": EWriteError: ", 0), 0u) << result.err;
  EXPECT_EQ(FileBytes(path), before);
  EXPECT_EQ(tests::FolderEntries(folder_), entries);
}

}  // namespace
