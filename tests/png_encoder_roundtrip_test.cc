// Images of every format the encoder writes, plain and interlaced, saved and read back by
// libpng and by our own decoder, and checked by pngcheck.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

#include "platform/bitmap.h"
#include "png/chunk_ihdr.h"
#include "png/png_object.h"
#include "tests/encoder_test_support.h"
#include "tests/png_test_support.h"

namespace tests {
namespace {

using png::FilterBit;

constexpr uint8_t kAllFilters = 0x1F;

// The sample the file must hold for pixel (x, y): the buffer's value, 16-bit samples with
// the buffer byte high, colours in red, green, blue order (identity gamma tables).
uint32_t ExpectedSample(const png::TChunkIHDR& header, uint32_t x, uint32_t y, int channel) {
  const uint8_t* row = header.PixelBuffer + static_cast<size_t>(header.Height - 1 - y) *
                                                static_cast<size_t>(header.RowStride);
  const uint8_t* alpha = header.AlphaBuffer
                             ? header.AlphaBuffer.get() + static_cast<size_t>(y) * header.Width
                             : nullptr;
  const int wide = header.BitDepth == 16 ? 8 : 0;
  const int bits = header.BufferBitsPerPixel();
  switch (header.ColourType) {
    case 0:
    case 3:
      if (bits == 8) return uint32_t{row[x]} << wide;
      return (row[x * bits / 8] >> (8 - bits - x * bits % 8)) & ((1u << bits) - 1);
    case 4:
      return uint32_t{channel == 0 ? row[x] : alpha[x]} << wide;
    default:
      return uint32_t{channel == 3 ? alpha[x] : row[3 * x + 2 - channel]} << wide;
  }
}

struct Format {
  uint8_t colour_type;
  uint8_t bit_depth;
};

void PrintTo(const Format& format, std::ostream* out) {
  *out << "colour type " << int{format.colour_type} << " at " << int{format.bit_depth} << " bits";
}

using RoundTripCase = std::tuple<Format, uint8_t, uint8_t>;  // format, interlacing, filter set

class EncoderRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(EncoderRoundTrip, LibpngReadsBackEverySample) {
  const auto [format, interlacing, filter_set] = GetParam();
  auto image = MakeImage(format.colour_type, format.bit_depth, 37, 21);
  png::TChunkIHDR& header = image->ImageHeader();
  FillPattern(header);
  image->SetInterlacing(interlacing);
  image->SetFilterSet(filter_set);
  image->SetCompressionLevel(9);
  const Bytes file = SavePng(*image);

  EXPECT_EQ(PngcheckComplaint(file), "");
  const DecodedPng decoded = DecodeWithLibpng(file);
  ASSERT_EQ(decoded.error, "");
  EXPECT_EQ(decoded.width, 37u);
  EXPECT_EQ(decoded.height, 21u);
  // 2-bit images are held and written at 4 bits.
  EXPECT_EQ(decoded.bit_depth, format.bit_depth == 2 ? 4 : format.bit_depth);
  EXPECT_EQ(decoded.colour_type, format.colour_type);
  EXPECT_EQ(decoded.interlace, interlacing);
  const int channels = SamplesPerPixel(format.colour_type);
  ASSERT_EQ(decoded.channels, channels);
  int mismatches = 0;
  for (uint32_t y = 0; y < 21; ++y) {
    for (uint32_t x = 0; x < 37; ++x) {
      for (int c = 0; c < channels; ++c) {
        const uint32_t expected = ExpectedSample(header, x, y, c);
        const uint32_t actual = SampleOf(decoded, x, y, c);
        if (actual != expected && mismatches++ < 5) {
          ADD_FAILURE() << "pixel (" << x << ", " << y << ") channel " << c << ": " << actual
                        << " instead of " << expected;
        }
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
  if (format.colour_type == 3) {
    ASSERT_EQ(decoded.palette_rgb.size(), 3u << format.bit_depth);
    for (size_t i = 0; i < decoded.palette_rgb.size() / 3; ++i) {
      const platform::RGBQUAD& entry = header.BufferInfo.bmiColors[i];
      EXPECT_EQ(decoded.palette_rgb[3 * i], entry.rgbRed);
      EXPECT_EQ(decoded.palette_rgb[3 * i + 1], entry.rgbGreen);
      EXPECT_EQ(decoded.palette_rgb[3 * i + 2], entry.rgbBlue);
    }
  }
  // Nothing of one save carries over into the next.
  EXPECT_EQ(SavePng(*image), file);

  // Our own decoder gives back the buffer that was saved.
  auto loaded = LoadPng(file);
  const png::TChunkIHDR& reread = loaded->ImageHeader();
  int differences = 0;
  for (uint32_t y = 0; y < 21; ++y) {
    for (uint32_t x = 0; x < 37; ++x) {
      for (int c = 0; c < channels; ++c) {
        if (ExpectedSample(reread, x, y, c) != ExpectedSample(header, x, y, c) &&
            differences++ < 5) {
          ADD_FAILURE() << "decoded pixel (" << x << ", " << y << ") channel " << c;
        }
      }
    }
  }
  EXPECT_EQ(differences, 0);
  if (format.colour_type == 3) {
    EXPECT_EQ(0, std::memcmp(reread.BufferInfo.bmiColors, header.BufferInfo.bmiColors,
                             sizeof(platform::RGBQUAD) << format.bit_depth));
  }
}

std::string RoundTripName(const testing::TestParamInfo<RoundTripCase>& info) {
  const Format format = std::get<0>(info.param);
  return "Type" + std::to_string(format.colour_type) + "Depth" + std::to_string(format.bit_depth) +
         (std::get<1>(info.param) ? "Adam7" : "Plain") +
         (std::get<2>(info.param) == kAllFilters ? "AllFilters" : "Sub");
}

INSTANTIATE_TEST_SUITE_P(
    AllFormats, EncoderRoundTrip,
    testing::Combine(testing::Values(Format{0, 1}, Format{0, 2}, Format{0, 4}, Format{0, 8},
                                     Format{0, 16}, Format{3, 1}, Format{3, 2}, Format{3, 4},
                                     Format{3, 8}, Format{2, 8}, Format{2, 16}, Format{4, 8},
                                     Format{4, 16}, Format{6, 8}, Format{6, 16}),
                     testing::Values(uint8_t{0}, uint8_t{1}),
                     testing::Values(FilterBit(png::kFilterSub), kAllFilters)),
    RoundTripName);

// The tool's road: a platform bitmap assigned to the image object and saved at level 9.
using BitmapCase = std::tuple<platform::TPixelFormat, uint8_t>;

class BitmapRoundTrip : public testing::TestWithParam<BitmapCase> {};

TEST_P(BitmapRoundTrip, SavedFileShowsTheBitmapsColours) {
  const auto [pixel_format, interlacing] = GetParam();
  platform::TBitmap bitmap;
  bitmap.SetPixelFormat(pixel_format);
  bitmap.SetWidth(19);
  bitmap.SetHeight(7);
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 19; ++x) {
      bitmap.Canvas().SetPixels(
          x, y,
          platform::RGB(static_cast<uint8_t>(x * 13), static_cast<uint8_t>(y * 37),
                        static_cast<uint8_t>((x ^ y) * 11)));
    }
  }
  png::TPNGObject image;
  image.SetCompressionLevel(9);
  image.SetInterlacing(interlacing);
  image.Assign(bitmap);
  const Bytes file = SavePng(image);

  EXPECT_EQ(PngcheckComplaint(file), "");
  const DecodedPng decoded = DecodeWithLibpng(file);
  ASSERT_EQ(decoded.error, "");
  ASSERT_EQ(decoded.width, 19u);
  ASSERT_EQ(decoded.height, 7u);
  for (uint32_t y = 0; y < 7; ++y) {
    for (uint32_t x = 0; x < 19; ++x) {
      uint32_t red = SampleOf(decoded, x, y, 0);
      uint32_t green = 0;
      uint32_t blue = 0;
      if (decoded.colour_type == 3) {
        const size_t entry = 3 * static_cast<size_t>(red);
        ASSERT_LT(entry + 2, decoded.palette_rgb.size());
        red = decoded.palette_rgb[entry];
        green = decoded.palette_rgb[entry + 1];
        blue = decoded.palette_rgb[entry + 2];
      } else {
        green = SampleOf(decoded, x, y, 1);
        blue = SampleOf(decoded, x, y, 2);
      }
      const auto shown =
          static_cast<uint32_t>(bitmap.Canvas().Pixels(static_cast<int>(x), static_cast<int>(y)));
      EXPECT_EQ(red | green << 8 | blue << 16, shown) << "pixel (" << x << ", " << y << ")";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(ToolRoad, BitmapRoundTrip,
                         testing::Combine(testing::Values(platform::pf1bit, platform::pf4bit,
                                                          platform::pf8bit, platform::pf24bit),
                                          testing::Values(uint8_t{0}, uint8_t{1})));

}  // namespace
}  // namespace tests
