// codec_bench: speed and memory of the PNG codec, the BMP reader and writer, the border scan
// and the crop, on images of the sizes the tool meets. Run it through scripts/bench.sh.
#include <sys/resource.h>
#include <zlib.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/exception.h"
#include "platform/stream.h"
#include "png/module.h"
#include "png/png_object.h"
#include "trim/border.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Small fast noise, the same on every run.
class Noise {
 public:
  uint8_t Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<uint8_t>(state_ >> 24);
  }

 private:
  uint32_t state_ = 12345;
};

// A photograph stand-in: broad gradients, a few shapes with soft edges and a little sensor
// noise, inside a uniform frame `border` pixels wide (none when 0).
void PaintPhoto(platform::TBitmap& bitmap, int width, int height, int border) {
  bitmap.SetPixelFormat(platform::pf24bit);
  bitmap.SetWidth(width);
  bitmap.SetHeight(height);
  Noise noise;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      uint8_t* pixel = row + 3 * x;
      if (x < border || y < border || x >= width - border || y >= height - border) {
        pixel[0] = pixel[1] = pixel[2] = 250;
        continue;
      }
      const int u = x * 1024 / width;
      const int v = y * 1024 / height;
      const int dx = u - 640;
      const int dy = v - 380;
      const bool sun = dx * dx + dy * dy < 9000;
      const bool ground = v > 600 + ((u * 7) % 97) / 3;
      int red = sun ? 250 : ground ? 60 + v / 12 : 90 + u / 8;
      int green = sun ? 200 : ground ? 110 + (u % 64) / 2 : 140 + v / 10;
      int blue = sun ? 80 : ground ? 40 : 230 - u / 10;
      const int grain = (noise.Next() & 7) - 4;
      red += grain;
      green += grain;
      blue += grain;
      pixel[0] = static_cast<uint8_t>(std::clamp(blue, 0, 255));
      pixel[1] = static_cast<uint8_t>(std::clamp(green, 0, 255));
      pixel[2] = static_cast<uint8_t>(std::clamp(red, 0, 255));
    }
  }
}

// An illustration in 256 colours: flat areas, thin lines and a dithered gradient band.
void PaintIllustration(platform::TBitmap& bitmap, int width, int height) {
  std::vector<platform::RGBQUAD> colours(256);
  for (int i = 0; i < 256; ++i) {
    colours[i] = platform::RGBQUAD{static_cast<uint8_t>(i * 7), static_cast<uint8_t>(255 - i),
                                   static_cast<uint8_t>(i * 3 + 40), 0};
  }
  bitmap.SetPixelFormat(platform::pf8bit);
  bitmap.SetColourTable(colours);
  bitmap.SetWidth(width);
  bitmap.SetHeight(height);
  Noise noise;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      uint8_t index = static_cast<uint8_t>((x / 96) * 7 + (y / 64) * 13);
      if (x % 96 == 0 || y % 64 == 0) index = 255;
      if (y > height / 2 && y < height / 2 + 200) {
        index = static_cast<uint8_t>(x * 64 / width + (noise.Next() & 3));
      }
      row[x] = index;
    }
  }
}

struct Fixtures {
  Fixtures() {
    PaintPhoto(truecolour, 2048, 1536, 0);
    PaintIllustration(indexed, 2048, 1536);
  }
  platform::TBitmap truecolour;
  platform::TBitmap indexed;
};

// Made on first use, so that the memory benchmark, which runs first, sees none of them.
Fixtures& Images() {
  static Fixtures fixtures;
  return fixtures;
}

platform::TBitmap& ImageOf(bool indexed) {
  return indexed ? Images().indexed : Images().truecolour;
}

Bytes EncodePng(platform::TBitmap& bitmap, int level, bool interlaced) {
  png::TPNGObject image;
  image.Assign(bitmap);
  image.SetCompressionLevel(static_cast<uint8_t>(level));
  image.SetInterlacing(interlaced ? 1 : 0);
  platform::TMemoryStream stream;
  image.SaveToStream(stream);
  return stream.Bytes();
}

int64_t PixelBytes(platform::TBitmap& bitmap) {
  const int64_t per_pixel = bitmap.PixelFormat() == platform::pf8bit ? 1 : 3;
  return int64_t{bitmap.Width()} * bitmap.Height() * per_pixel;
}

// The largest resident set the process has had, in megabytes.
double PeakResidentMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void AppendChunk(Bytes& file, const char* type, const Bytes& data) {
  const auto be32 = [&file](uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
      file.push_back(static_cast<uint8_t>(value >> shift));
  };
  be32(static_cast<uint32_t>(data.size()));
  const size_t start = file.size();
  file.insert(file.end(), type, type + 4);
  file.insert(file.end(), data.begin(), data.end());
  be32(
      static_cast<uint32_t>(crc32(0, file.data() + start, static_cast<uInt>(file.size() - start))));
}

// A file of a few hundred bytes whose header claims 65535 x 65535 truecolour pixels and
// whose image data holds one blank row.
Bytes HugeClaimPng() {
  Bytes file = {137, 80, 78, 71, 13, 10, 26, 10};
  AppendChunk(file, "IHDR", {0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 8, 2, 0, 0, 0});
  const Bytes row(1 + 65535 * 3, 0);
  uLongf size = compressBound(static_cast<uLong>(row.size()));
  Bytes compressed(size);
  compress2(compressed.data(), &size, row.data(), static_cast<uLong>(row.size()), 9);
  compressed.resize(size);
  AppendChunk(file, "IDAT", compressed);
  AppendChunk(file, "IEND", {});
  return file;
}

// Loading the huge claim must fail fast and touch little memory. Registered first: the
// peak resident set of the process is then this benchmark's own.
void BM_PngHugeClaimedSize(benchmark::State& state) {
  const Bytes file = HugeClaimPng();
  const double before = PeakResidentMegabytes();
  std::string outcome;
  for (auto _ : state) {
    png::TPNGObject image;
    platform::TMemoryStream stream(file);
    try {
      image.LoadFromStream(stream);
      outcome = "loaded without error";
    } catch (const platform::Exception& error) {
      outcome = std::string(error.ClassName());
    }
  }
  const double after = PeakResidentMegabytes();
  state.counters["file_bytes"] = static_cast<double>(file.size());
  state.counters["peak_rss_MB"] = after;
  state.counters["peak_rss_growth_MB"] = after - before;
  state.SetLabel(outcome);
}

void BM_PngDecode(benchmark::State& state, bool indexed, bool interlaced) {
  platform::TBitmap& bitmap = ImageOf(indexed);
  platform::TMemoryStream stream(EncodePng(bitmap, 9, interlaced));
  png::TPNGObject image;
  for (auto _ : state) {
    stream.SetPosition(0);
    image.LoadFromStream(stream);
  }
  state.SetBytesProcessed(state.iterations() * PixelBytes(bitmap));
  state.counters["png_bytes"] = static_cast<double>(stream.Size());
}

void BM_PngEncode(benchmark::State& state, bool indexed, int level, bool interlaced) {
  platform::TBitmap& bitmap = ImageOf(indexed);
  png::TPNGObject image;
  image.Assign(bitmap);
  image.SetCompressionLevel(static_cast<uint8_t>(level));
  image.SetInterlacing(interlaced ? 1 : 0);
  int64_t written = 0;
  for (auto _ : state) {
    platform::TMemoryStream stream;
    image.SaveToStream(stream);
    written = stream.Size();
  }
  state.SetBytesProcessed(state.iterations() * PixelBytes(bitmap));
  state.counters["png_bytes"] = static_cast<double>(written);
}

platform::TBitmap& LargeBmpImage() {
  static platform::TBitmap bitmap;
  if (bitmap.Empty()) PaintPhoto(bitmap, 4000, 3000, 0);
  return bitmap;
}

void BM_BmpRead(benchmark::State& state) {
  platform::TMemoryStream stream;
  LargeBmpImage().SaveToStream(stream);
  for (auto _ : state) {
    stream.SetPosition(0);
    platform::TBitmap bitmap;
    bitmap.LoadFromStream(stream);
  }
  state.SetBytesProcessed(state.iterations() * stream.Size());
}

void BM_BmpWrite(benchmark::State& state) {
  platform::TBitmap& bitmap = LargeBmpImage();
  int64_t written = 0;
  for (auto _ : state) {
    platform::TMemoryStream stream;
    bitmap.SaveToStream(stream);
    written = stream.Size();
  }
  state.SetBytesProcessed(state.iterations() * written);
}

// 6000 x 4000 at 24 bits: a photograph in a 3-pixel frame, and one colour throughout, where
// every row and every column has to be read to its end.
platform::TBitmap& ScanImage(bool uniform) {
  static platform::TBitmap framed;
  static platform::TBitmap flat;
  platform::TBitmap& bitmap = uniform ? flat : framed;
  if (bitmap.Empty()) PaintPhoto(bitmap, 6000, 4000, uniform ? 3000 : 3);
  return bitmap;
}

void BM_FindContentBox(benchmark::State& state, bool uniform) {
  platform::TBitmap& bitmap = ScanImage(uniform);
  trim::ContentBox box;
  for (auto _ : state) {
    box = trim::FindContentBox(bitmap);
    benchmark::DoNotOptimize(box);
  }
  state.SetBytesProcessed(state.iterations() * PixelBytes(bitmap));
  if (box.right >= box.left) state.counters["box_width"] = box.right - box.left + 1;
}

// The crop of the framed 6000 x 4000 image to its box, the copy back into the source
// included; making a fresh source for every round is not timed.
void BM_CropToBox(benchmark::State& state) {
  platform::TBitmap& original = ScanImage(false);
  const trim::ContentBox box = trim::FindContentBox(original);
  for (auto _ : state) {
    state.PauseTiming();
    platform::TBitmap source;
    source.Assign(original);
    // Assign shares the pixels; the tool crops a bitmap that has its own, as here.
    source.ScanLine(0);
    platform::TBitmap cropped;
    state.ResumeTiming();
    trim::CropToBox(source, cropped, box);
  }
  state.SetBytesProcessed(state.iterations() * PixelBytes(original));
}

void RegisterAll() {
  benchmark::RegisterBenchmark("PngHugeClaimedSize", BM_PngHugeClaimedSize)
      ->Unit(benchmark::kMicrosecond);
  for (const bool indexed : {false, true}) {
    const std::string kind = indexed ? "indexed8_2048x1536" : "truecolour_2048x1536";
    for (const bool interlaced : {false, true}) {
      const std::string layout = interlaced ? "adam7" : "plain";
      benchmark::RegisterBenchmark(("PngDecode/" + kind + "/" + layout).c_str(), BM_PngDecode,
                                   indexed, interlaced)
          ->Unit(benchmark::kMillisecond);
      for (const int level : {9, 7}) {
        benchmark::RegisterBenchmark(
            ("PngEncode/" + kind + "/level" + std::to_string(level) + "/" + layout).c_str(),
            BM_PngEncode, indexed, level, interlaced)
            ->Unit(benchmark::kMillisecond);
      }
    }
  }
  benchmark::RegisterBenchmark("BmpRead/24bit_4000x3000", BM_BmpRead)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BmpWrite/24bit_4000x3000", BM_BmpWrite)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("FindContentBox/thin_border_6000x4000", BM_FindContentBox, false)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("FindContentBox/uniform_6000x4000", BM_FindContentBox, true)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("CropToBox/thin_border_6000x4000", BM_CropToBox)
      ->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
  const png::CodecModule codec;
  RegisterAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
