#include "bench/bench_images.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "platform/bitmap.h"
#include "platform/stream.h"
#include "png/chunk.h"
#include "png/chunk_idat.h"
#include "png/chunk_ihdr.h"
#include "png/chunk_plte.h"
#include "png/png_object.h"

namespace bench {

namespace {

using Bytes = std::vector<uint8_t>;

// splitmix64: small, fast and the same everywhere.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, n).
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }

 private:
  uint64_t state_;
};

uint8_t Clamp8(int value) {
  return static_cast<uint8_t>(std::clamp(value, 0, 255));
}

// The frame every generated image has: about 3% of the shorter side, at least 2 pixels.
int BorderWidth(int width, int height) {
  return std::max(2, std::min(width, height) / 32);
}

bool InFrame(int x, int y, int width, int height, int border) {
  return x < border || y < border || x >= width - border || y >= height - border;
}

// An image object of the format with a zeroed buffer, PLTE for palette images, IDAT and IEND:
// the chunks a save writes.
std::unique_ptr<png::TPNGObject> NewPng(uint8_t colour_type, uint8_t bit_depth, int width,
                                        int height) {
  auto image = std::make_unique<png::TPNGObject>();
  image->DiscardChunks();
  auto* header = static_cast<png::TChunkIHDR*>(
      image->Chunks.Adopt(std::make_unique<png::TChunkIHDR>(image.get())));
  header->Width = static_cast<uint32_t>(width);
  header->Height = static_cast<uint32_t>(height);
  header->BitDepth = bit_depth;
  header->ColourType = colour_type;
  header->AllocateImageBuffer();
  if (colour_type == 3) {
    image->Chunks.Adopt(std::make_unique<png::TChunkPLTE>(image.get()));
  }
  image->Chunks.Adopt(std::make_unique<png::TChunkIDAT>(image.get()));
  image->Chunks.Adopt(std::make_unique<png::TChunkIEND>(image.get()));
  return image;
}

// Row y of the image, 0 the top (the buffer is bottom-up).
uint8_t* RowOf(png::TPNGObject& image, int y) {
  return image.GetRowAddress(y);
}

Bytes Encode(png::TPNGObject& image, uint8_t interlacing) {
  image.SetCompressionLevel(9);
  image.SetFilterSet(png::FilterBit(png::kFilterSub));
  image.SetInterlacing(interlacing);
  platform::TMemoryStream stream;
  image.SaveToStream(stream);
  return std::move(stream.Bytes());
}

// A photograph stand-in, blue, green, red: broad gradients, a sun with a soft edge, a ground
// line with texture and sensor noise, in a light grey frame.
void PhotoRow(int y, int width, int height, Random& random, uint8_t* bgr) {
  const int border = BorderWidth(width, height);
  const int v = static_cast<int>(int64_t{y} * 1024 / height);
  for (int x = 0; x < width; ++x) {
    uint8_t* pixel = bgr + 3 * x;
    if (InFrame(x, y, width, height, border)) {
      pixel[0] = pixel[1] = pixel[2] = 250;
      continue;
    }
    const int u = static_cast<int>(int64_t{x} * 1024 / width);
    const int dx = u - 640;
    const int dy = v - 380;
    const int d2 = dx * dx + dy * dy;
    // 0 outside the sun, 256 inside, a ramp across its rim.
    const int sun = std::clamp((11000 - d2) / 16, 0, 256);
    const bool ground = v > 600 + ((u * 7) % 97) / 3;
    int red = ground ? 60 + v / 12 + (u % 64) / 4 : 90 + u / 8;
    int green = ground ? 110 + (u % 64) / 2 : 140 + v / 10;
    int blue = ground ? 40 + (v % 32) : 230 - u / 10;
    red += ((250 - red) * sun) >> 8;
    green += ((200 - green) * sun) >> 8;
    blue += ((80 - blue) * sun) >> 8;
    const uint64_t bits = random.Next();
    const int grain = static_cast<int>(bits & 7) - 4;
    pixel[0] = Clamp8(blue + grain + static_cast<int>((bits >> 8) & 1));
    pixel[1] = Clamp8(green + grain);
    pixel[2] = Clamp8(red + grain + static_cast<int>((bits >> 9) & 1));
  }
}

Bytes PhotoPng(int width, int height, uint64_t seed, uint8_t interlacing) {
  auto image = NewPng(2, 8, width, height);
  Random random(seed);
  for (int y = 0; y < height; ++y)
    PhotoRow(y, width, height, random, RowOf(*image, y));
  return Encode(*image, interlacing);
}

Bytes MakePhoto(int width, int height, uint64_t seed) {
  return PhotoPng(width, height, seed, 0);
}

Bytes MakeAdam7Photo(int width, int height, uint64_t seed) {
  return PhotoPng(width, height, seed, 1);
}

// A desktop capture: a transparent margin, windows with title bars, buttons and lines of
// text in flat colours with sharp edges, and a soft half-transparent shadow under each window.
Bytes MakeScreenshot(int width, int height, uint64_t seed) {
  Random random(seed);
  const int border = BorderWidth(width, height);
  // Red, green, blue, alpha, painted top-down, then moved into the buffer and alpha plane.
  std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
  auto fill = [&](int x0, int y0, int x1, int y1, uint32_t colour, uint8_t alpha) {
    x0 = std::max(x0, border);
    y0 = std::max(y0, border);
    x1 = std::min(x1, width - border);
    y1 = std::min(y1, height - border);
    for (int y = y0; y < y1; ++y) {
      uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x0) * 4];
      for (int x = x0; x < x1; ++x, p += 4) {
        p[0] = static_cast<uint8_t>(colour >> 16);
        p[1] = static_cast<uint8_t>(colour >> 8);
        p[2] = static_cast<uint8_t>(colour);
        p[3] = alpha;
      }
    }
  };
  // The margin is transparent white; the desktop inside it is one opaque teal.
  for (size_t i = 0; i < rgba.size(); i += 4) {
    rgba[i] = rgba[i + 1] = rgba[i + 2] = 255;
    rgba[i + 3] = 0;
  }
  fill(border, border, width - border, height - border, 0x3A6EA5, 255);
  const int unit = std::max(8, std::min(width, height) / 48);
  const int windows = 6 + random.Below(4);
  for (int w = 0; w < windows; ++w) {
    const int ww = width / 4 + random.Below(width / 3);
    const int wh = height / 4 + random.Below(height / 3);
    const int x0 = border + random.Below(std::max(1, width - ww - 2 * border));
    const int y0 = border + random.Below(std::max(1, height - wh - 2 * border));
    fill(x0 + unit / 2, y0 + unit / 2, x0 + ww + unit / 2, y0 + wh + unit / 2, 0x000000, 80);
    fill(x0, y0, x0 + ww, y0 + wh, 0xF0F0F0, 255);
    fill(x0, y0, x0 + ww, y0 + unit * 2, 0x1F4E8C - static_cast<uint32_t>(w) * 0x030303, 255);
    fill(x0 + ww - 2 * unit, y0 + unit / 2, x0 + ww - unit, y0 + unit * 3 / 2, 0xE81123, 255);
    // Lines of text: glyph cells of random strokes, dark grey on the window colour.
    const int cell_w = std::max(4, unit * 2 / 3);
    const int cell_h = unit;
    for (int ty = y0 + unit * 3; ty + cell_h < y0 + wh - unit; ty += cell_h * 3 / 2) {
      const int line_end = x0 + unit + random.Below(std::max(1, ww - 2 * unit));
      for (int tx = x0 + unit; tx + cell_w < line_end; tx += cell_w) {
        if (random.Below(6) == 0) continue;  // a space
        const uint64_t strokes = random.Next();
        for (int k = 0; k < 4; ++k) {
          if (((strokes >> k) & 1) == 0) continue;
          const bool across = (strokes >> (8 + k)) & 1;
          const int sx = tx + static_cast<int>((strokes >> (16 + 4 * k)) % (cell_w - 1));
          const int sy = ty + static_cast<int>((strokes >> (32 + 4 * k)) % (cell_h - 1));
          if (across) {
            fill(tx, sy, tx + cell_w - 1, sy + 1, 0x202020, 255);
          } else {
            fill(sx, ty, sx + 1, ty + cell_h - 1, 0x202020, 255);
          }
        }
      }
    }
    // A row of buttons.
    for (int bx = x0 + unit; bx + 4 * unit < x0 + ww; bx += 5 * unit) {
      fill(bx, y0 + wh - 2 * unit, bx + 4 * unit, y0 + wh - unit / 2, 0xADADAD, 255);
      fill(bx + 1, y0 + wh - 2 * unit + 1, bx + 4 * unit - 1, y0 + wh - unit / 2 - 1, 0xE1E1E1,
           255);
    }
  }
  auto image = NewPng(6, 8, width, height);
  png::TChunkIHDR& header = image->ImageHeader();
  for (int y = 0; y < height; ++y) {
    const uint8_t* s = &rgba[static_cast<size_t>(y) * width * 4];
    uint8_t* d = RowOf(*image, y);
    uint8_t* a = header.AlphaBuffer.get() + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; ++x, s += 4, d += 3) {
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
      a[x] = s[3];
    }
  }
  return Encode(*image, 0);
}

// A scanned page at 8 bits: a black scanner lid around paper lit a little unevenly, with
// scanner noise, and lines of dark text with soft edges; returns grey levels top-down.
std::vector<uint8_t> PaintPage(int width, int height, uint64_t seed, bool noisy) {
  Random random(seed);
  const int border = BorderWidth(width, height);
  std::vector<uint8_t> grey(static_cast<size_t>(width) * height, 0);
  const int margin = border + std::min(width, height) / 12;
  const int line_h = std::max(6, height / 60);
  const int glyph_w = std::max(3, line_h * 2 / 3);
  for (int y = border; y < height - border; ++y) {
    uint8_t* row = &grey[static_cast<size_t>(y) * width];
    const int shade = 232 + (y * 12) / height;
    for (int x = border; x < width - border; ++x) {
      const int noise = noisy ? static_cast<int>(random.Next() & 7) - 3 : 0;
      row[x] = Clamp8(shade + (x * 8) / width + noise);
    }
  }
  // Text: each line a run of glyphs of vertical and horizontal strokes.
  for (int ty = margin; ty + line_h < height - margin; ty += line_h * 2) {
    if (random.Below(9) == 0) continue;  // a paragraph break
    const int end = width - margin - random.Below(std::max(1, (width - 2 * margin) / 3));
    for (int tx = margin; tx + glyph_w < end; tx += glyph_w + glyph_w / 3) {
      if (random.Below(7) == 0) continue;
      const uint64_t strokes = random.Next();
      for (int k = 0; k < 3; ++k) {
        const int sx = tx + static_cast<int>((strokes >> (8 * k)) % glyph_w);
        const int sy = ty + static_cast<int>((strokes >> (8 * k + 24)) % line_h);
        const int thick = std::max(1, line_h / 8);
        if ((strokes >> (48 + k)) & 1) {
          for (int y = sy; y < std::min(sy + thick, ty + line_h); ++y)
            for (int x = tx; x < tx + glyph_w; ++x)
              grey[static_cast<size_t>(y) * width + x] = 30;
        } else {
          for (int y = ty; y < ty + line_h; ++y)
            for (int x = sx; x < std::min(sx + thick, tx + glyph_w); ++x)
              grey[static_cast<size_t>(y) * width + x] = 30;
        }
      }
    }
  }
  return grey;
}

Bytes MakePageGrey8(int width, int height, uint64_t seed) {
  const std::vector<uint8_t> grey = PaintPage(width, height, seed, true);
  auto image = NewPng(0, 8, width, height);
  for (int y = 0; y < height; ++y)
    std::memcpy(RowOf(*image, y), &grey[static_cast<size_t>(y) * width], width);
  return Encode(*image, 0);
}

// The same page as a fax machine or a bilevel scan would keep it: black or white.
Bytes MakePage1Bit(int width, int height, uint64_t seed) {
  const std::vector<uint8_t> grey = PaintPage(width, height, seed, false);
  auto image = NewPng(0, 1, width, height);
  for (int y = 0; y < height; ++y) {
    const uint8_t* s = &grey[static_cast<size_t>(y) * width];
    uint8_t* d = RowOf(*image, y);
    for (int x = 0; x < width; ++x) {
      if (s[x] >= 128) d[x >> 3] = static_cast<uint8_t>(d[x >> 3] | (0x80 >> (x & 7)));
    }
  }
  return Encode(*image, 0);
}

// Pixel art in 256 colours: flat tiles, thin outlines, a dithered sky band and sprites,
// inside a frame of colour 0.
Bytes MakePaletteArt(int width, int height, uint64_t seed) {
  Random random(seed);
  auto image = NewPng(3, 8, width, height);
  png::TChunkIHDR& header = image->ImageHeader();
  image->Chunks.FirstChunkOfClass<png::TChunkPLTE>()->EntryCount = 256;
  for (int i = 0; i < 256; ++i) {
    platform::RGBQUAD& entry = header.BufferInfo.bmiColors[i];
    entry.rgbRed = static_cast<uint8_t>(i == 0 ? 16 : (i * 37) & 255);
    entry.rgbGreen = static_cast<uint8_t>(i == 0 ? 16 : (i * 91 + 40) & 255);
    entry.rgbBlue = static_cast<uint8_t>(i == 0 ? 24 : (255 - i * 5) & 255);
  }
  const int border = BorderWidth(width, height);
  const int tile = std::max(8, std::min(width, height) / 24);
  std::vector<uint8_t> tiles(static_cast<size_t>(width / tile + 1) * (height / tile + 1));
  for (uint8_t& t : tiles)
    t = static_cast<uint8_t>(1 + random.Below(200));
  const int tiles_across = width / tile + 1;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = RowOf(*image, y);
    const bool sky = y > height / 5 && y < height / 5 + height / 8;
    for (int x = 0; x < width; ++x) {
      uint8_t index;
      if (InFrame(x, y, width, height, border)) {
        index = 0;
      } else if (sky) {
        // An ordered dither between neighbouring sky colours.
        const int level = (x * 16) / width;
        index = static_cast<uint8_t>(200 + level + (((x ^ y) & 1) ? 1 : 0));
      } else if (x % tile == 0 || y % tile == 0) {
        index = 255;
      } else {
        index = tiles[static_cast<size_t>(y / tile) * tiles_across + x / tile];
      }
      row[x] = index;
    }
  }
  // Sprites: small blocks of noise in a few colours.
  const int sprites = 20 + random.Below(20);
  for (int s = 0; s < sprites; ++s) {
    const int sw = tile * 2;
    const int sx = border + random.Below(std::max(1, width - 2 * border - sw));
    const int sy = border + random.Below(std::max(1, height - 2 * border - sw));
    const uint8_t base = static_cast<uint8_t>(random.Below(200));
    for (int y = sy; y < sy + sw && y < height - border; ++y) {
      uint8_t* row = RowOf(*image, y);
      for (int x = sx; x < sx + sw && x < width - border; ++x)
        row[x] = static_cast<uint8_t>(base + (random.Next() & 3));
    }
  }
  return Encode(*image, 0);
}

// One colour throughout: every row and every column is border, so the four scans each read
// every line (to nine tenths of its length) before giving up.
Bytes MakeUniform(int width, int height, uint64_t) {
  auto image = NewPng(2, 8, width, height);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = RowOf(*image, y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = 160;
      row[3 * x + 1] = 180;
      row[3 * x + 2] = 200;
    }
  }
  return Encode(*image, 0);
}

bool HasExtension(const std::filesystem::path& path, const char* extension) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == extension;
}

uint32_t Be32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

int32_t Le32(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) |
                              (uint32_t{p[3]} << 24));
}

// The size from the file's header: IHDR of a PNG file, the info header of a BMP file.
bool ReadSize(BenchImage& image) {
  const Bytes& b = image.bytes;
  if (image.format == FileFormat::kPng) {
    if (b.size() < 24 || std::memcmp(&b[12], "IHDR", 4) != 0) return false;
    image.width = static_cast<int>(std::min<uint32_t>(Be32(&b[16]), INT32_MAX));
    image.height = static_cast<int>(std::min<uint32_t>(Be32(&b[20]), INT32_MAX));
    return true;
  }
  if (b.size() < 26 || b[0] != 'B' || b[1] != 'M') return false;
  if (Le32(&b[14]) == 12) {  // the old core header: 16-bit sizes
    image.width = b[18] | (b[19] << 8);
    image.height = b[20] | (b[21] << 8);
    return true;
  }
  const int32_t height = Le32(&b[22]);
  image.width = Le32(&b[18]);
  image.height = height == INT32_MIN ? INT32_MAX : std::abs(height);
  return true;
}

}  // namespace

const std::vector<ImageClass>& ImageClasses() {
  static const std::vector<ImageClass> classes = {
      {"photo-rgb", "photo-like: gradients with noise, truecolour", MakePhoto, FileFormat::kPng},
      {"screen-rgba", "screenshot-like: flat areas, sharp edges, truecolour with alpha",
       MakeScreenshot, FileFormat::kPng},
      {"page-grey8", "scanned page, 8-bit greyscale", MakePageGrey8, FileFormat::kPng},
      {"page-1bit", "scanned page, 1-bit greyscale", MakePage1Bit, FileFormat::kPng},
      {"art-pal8", "palette art, 8-bit indexed", MakePaletteArt, FileFormat::kPng},
      {"photo-adam7", "the photo, Adam7-interlaced truecolour", MakeAdam7Photo, FileFormat::kPng},
      {"photo-bmp24", "the photo as a 24-bit BMP file", MakeBmpPhoto, FileFormat::kBmp},
      {"uniform-rgb", "one colour throughout, truecolour: the border scan's worst case",
       MakeUniform, FileFormat::kPng},
  };
  return classes;
}

void SizeForMegapixels(double megapixels, int& width, int& height) {
  const double pixels = std::max(megapixels, 0.0001) * 1e6;
  // 4:3, so width = 4k and height = 3k with 12 k^2 = pixels; k a multiple of 2.
  int k = static_cast<int>(std::lround(std::sqrt(pixels / 12.0) / 2.0)) * 2;
  k = std::max(k, 2);
  width = 4 * k;
  height = 3 * k;
}

Bytes MakeBmpPhoto(int width, int height, uint64_t seed) {
  platform::TBitmap bitmap;
  bitmap.SetPixelFormat(platform::pf24bit);
  bitmap.SetWidth(width);
  bitmap.SetHeight(height);
  Random random(seed);
  for (int y = 0; y < height; ++y)
    PhotoRow(y, width, height, random, bitmap.ScanLine(y));
  platform::TMemoryStream stream;
  bitmap.SaveToStream(stream);
  return std::move(stream.Bytes());
}

std::vector<BenchImage> ImagesOfFolder(const std::string& dir, std::vector<std::string>& skipped) {
  std::vector<std::filesystem::path> paths;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    if (HasExtension(entry.path(), ".png") || HasExtension(entry.path(), ".bmp")) {
      paths.push_back(entry.path());
    }
  }
  std::sort(paths.begin(), paths.end());
  std::vector<BenchImage> images;
  for (const auto& path : paths) {
    BenchImage image;
    image.name = path.filename().string();
    image.format = HasExtension(path, ".png") ? FileFormat::kPng : FileFormat::kBmp;
    std::ifstream in(path, std::ios::binary);
    image.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
      skipped.push_back(path.string() + ": cannot be read");
      continue;
    }
    if (!ReadSize(image)) {
      skipped.push_back(path.string() + ": no PNG or BMP header");
      continue;
    }
    images.push_back(std::move(image));
  }
  return images;
}

}  // namespace bench
