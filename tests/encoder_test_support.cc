#include "tests/encoder_test_support.h"

#include <png.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "png/chunk.h"
#include "png/chunk_idat.h"
#include "png/chunk_plte.h"

namespace tests {

namespace {

uint32_t Be32At(const Bytes& file, size_t at) {
  return (uint32_t{file[at]} << 24) | (uint32_t{file[at + 1]} << 16) |
         (uint32_t{file[at + 2]} << 8) | file[at + 3];
}

uint8_t PatternByte(uint32_t x, uint32_t y, uint32_t seed) {
  // Every fourth row is flat, the others mix a gradient with a hash.
  if (y % 4 == 3) return static_cast<uint8_t>(seed + y);
  uint32_t h = (x * 2654435761u) ^ (y * 40503u) ^ (seed * 97u);
  h ^= h >> 13;
  return static_cast<uint8_t>(x % 3 == 0 ? x * 3 + y : h);
}

struct ReadState {
  const Bytes* file;
  size_t at;
  std::string* error;
};

void ReadBytes(png_structp png, png_bytep out, size_t count) {
  auto* state = static_cast<ReadState*>(png_get_io_ptr(png));
  if (state->at + count > state->file->size()) png_error(png, "file ends early");
  std::memcpy(out, state->file->data() + state->at, count);
  state->at += count;
}

void OnError(png_structp png, png_const_charp message) {
  auto* state = static_cast<ReadState*>(png_get_error_ptr(png));
  *state->error += std::string("error: ") + message + "; ";
  png_longjmp(png, 1);
}

void OnWarning(png_structp png, png_const_charp message) {
  auto* state = static_cast<ReadState*>(png_get_error_ptr(png));
  *state->error += std::string("warning: ") + message + "; ";
}

// No object with a destructor lives in this frame, so libpng's longjmp skips nothing.
bool ReadWithLibpng(png_structp png, png_infop info, DecodedPng& out,
                    std::vector<png_bytep>& pointers) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bit_depth = 0;
  int colour_type = 0;
  int interlace = 0;
  png_get_IHDR(png, info, &width, &height, &bit_depth, &colour_type, &interlace, nullptr, nullptr);
  out.width = width;
  out.height = height;
  out.bit_depth = bit_depth;
  out.colour_type = colour_type;
  out.interlace = interlace;
  out.channels = png_get_channels(png, info);
  png_colorp palette = nullptr;
  int entries = 0;
  if (png_get_PLTE(png, info, &palette, &entries) != 0) {
    for (int i = 0; i < entries; ++i) {
      out.palette_rgb.push_back(palette[i].red);
      out.palette_rgb.push_back(palette[i].green);
      out.palette_rgb.push_back(palette[i].blue);
    }
  }
  if (interlace != PNG_INTERLACE_NONE) png_set_interlace_handling(png);
  png_read_update_info(png, info);
  out.rows.assign(height, Bytes(png_get_rowbytes(png, info)));
  pointers.resize(height);
  for (png_uint_32 y = 0; y < height; ++y)
    pointers[y] = out.rows[y].data();
  png_read_image(png, pointers.data());
  png_read_end(png, nullptr);
  return true;
}

}  // namespace

std::unique_ptr<png::TPNGObject> MakeImage(uint8_t colour_type, uint8_t bit_depth, uint32_t width,
                                           uint32_t height) {
  auto image = std::make_unique<png::TPNGObject>();
  image->DiscardChunks();
  auto* header = static_cast<png::TChunkIHDR*>(
      image->Chunks.Adopt(std::make_unique<png::TChunkIHDR>(image.get())));
  header->Width = width;
  header->Height = height;
  header->BitDepth = bit_depth;
  header->ColourType = colour_type;
  header->AllocateImageBuffer();
  if (colour_type == 3) {
    auto* palette = static_cast<png::TChunkPLTE*>(
        image->Chunks.Adopt(std::make_unique<png::TChunkPLTE>(image.get())));
    palette->EntryCount = 1 << std::min<int>(bit_depth, 8);
    for (int i = 0; i < palette->EntryCount; ++i) {
      platform::RGBQUAD& entry = header->BufferInfo.bmiColors[i];
      entry.rgbRed = static_cast<uint8_t>(i);
      entry.rgbGreen = static_cast<uint8_t>(255 - i);
      entry.rgbBlue = static_cast<uint8_t>(i * 7);
    }
  }
  image->Chunks.Adopt(std::make_unique<png::TChunkIDAT>(image.get()));
  image->Chunks.Adopt(std::make_unique<png::TChunkIEND>(image.get()));
  return image;
}

void FillPattern(png::TChunkIHDR& header, uint32_t seed) {
  for (uint32_t y = 0; y < header.Height; ++y) {
    uint8_t* row = header.PixelBuffer + static_cast<size_t>(y) * header.RowStride;
    for (int32_t i = 0; i < header.RowStride; ++i) {
      uint8_t value = PatternByte(static_cast<uint32_t>(i), y, seed);
      if (header.BitDepth == 2) {
        // Indices 0 to 3, or grey samples times 4, in each nibble.
        const int shift = header.ColourType == 0 ? 2 : 0;
        value = static_cast<uint8_t>((((value >> 4) & 3) << (4 + shift)) | ((value & 3) << shift));
      }
      row[i] = value;
    }
  }
  if (header.AlphaBuffer) {
    for (uint32_t y = 0; y < header.Height; ++y) {
      for (uint32_t x = 0; x < header.Width; ++x)
        header.AlphaBuffer.get()[y * header.Width + x] = PatternByte(x + 5, y + 1, seed + 1);
    }
  }
}

std::vector<Bytes> IdatPayloadsOf(const Bytes& file) {
  std::vector<Bytes> payloads;
  size_t at = 8;
  while (at + 12 <= file.size()) {
    const uint32_t length = Be32At(file, at);
    if (std::memcmp(&file[at + 4], "IDAT", 4) == 0) {
      const auto begin = file.begin() + static_cast<ptrdiff_t>(at + 8);
      payloads.emplace_back(begin, begin + length);
    }
    at += 12 + static_cast<size_t>(length);
  }
  return payloads;
}

Bytes InflateImageData(const Bytes& file) {
  Bytes compressed;
  for (const Bytes& payload : IdatPayloadsOf(file))
    compressed.insert(compressed.end(), payload.begin(), payload.end());
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return {};
  stream.next_in = compressed.data();
  stream.avail_in = static_cast<uInt>(compressed.size());
  Bytes out;
  uint8_t piece[4096];
  int result = Z_OK;
  while (result == Z_OK) {
    stream.next_out = piece;
    stream.avail_out = sizeof piece;
    result = inflate(&stream, Z_NO_FLUSH);
    out.insert(out.end(), piece, piece + (sizeof piece - stream.avail_out));
  }
  inflateEnd(&stream);
  if (result != Z_STREAM_END || stream.avail_in != 0) return {};
  return out;
}

DecodedPng DecodeWithLibpng(const Bytes& file) {
  DecodedPng out;
  ReadState state{&file, 0, &out.error};
  std::vector<png_bytep> pointers;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_read_fn(png, &state, ReadBytes);
  png_set_error_fn(png, &state, OnError, OnWarning);
  if (!ReadWithLibpng(png, info, out, pointers) && out.error.empty()) {
    out.error = "libpng failed";
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return out;
}

uint32_t SampleOf(const DecodedPng& image, uint32_t x, uint32_t y, int channel) {
  const Bytes& row = image.rows[y];
  const size_t index = static_cast<size_t>(x) * image.channels + channel;
  switch (image.bit_depth) {
    case 16:
      return (uint32_t{row[2 * index]} << 8) | row[2 * index + 1];
    case 8:
      return row[index];
    default: {
      const size_t bit = index * image.bit_depth;
      const int shift = 8 - image.bit_depth - static_cast<int>(bit % 8);
      return (row[bit / 8] >> shift) & ((1u << image.bit_depth) - 1);
    }
  }
}

std::string PngcheckComplaint(const Bytes& file) {
  char path[] = "/tmp/encoder_test_XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return "cannot make a temporary file";
  const bool written = write(fd, file.data(), file.size()) == static_cast<ssize_t>(file.size());
  close(fd);
  std::string report;
  int status = -1;
  if (written) {
    const std::string command = std::string("/usr/bin/pngcheck -q ") + path + " 2>&1";
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char line[512];
      while (fgets(line, sizeof line, pipe) != nullptr)
        report += line;
      status = pclose(pipe);
    }
  }
  unlink(path);
  if (status == 0) return {};
  return report.empty() ? "pngcheck failed to run" : report;
}

}  // namespace tests
