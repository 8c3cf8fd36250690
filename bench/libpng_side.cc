#include "bench/libpng_side.h"

#include <png.h>

#include <algorithm>
#include <cstring>

#include "bench/zlib_floor.h"

namespace bench {

namespace {

// Our encoder's output buffer, and so the size of every IDAT chunk but the last.
constexpr size_t kIdatSize = 65535;

struct Reader {
  const std::vector<uint8_t>* file;
  size_t at;
};

void ReadFromMemory(png_structp png, png_bytep out, size_t count) {
  auto* reader = static_cast<Reader*>(png_get_io_ptr(png));
  if (count > reader->file->size() - reader->at) png_error(png, "read past the end of the file");
  std::memcpy(out, reader->file->data() + reader->at, count);
  reader->at += count;
}

void WriteToMemory(png_structp png, png_bytep data, size_t count) {
  auto* file = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  file->insert(file->end(), data, data + count);
}

void FlushNothing(png_structp) {}

// libpng reports errors by longjmp; the message is kept for the caller.
void OnError(png_structp png, png_const_charp message) {
  auto* error = static_cast<std::string*>(png_get_error_ptr(png));
  *error = message;
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// Everything the longjmp may skip lives outside the function that calls setjmp.
bool DecodeInto(png_structp png, png_infop info, Reader& reader, LibpngImage& image,
                std::vector<png_bytep>& rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, &reader, ReadFromMemory);
  png_read_info(png, info);
  image.width = png_get_image_width(png, info);
  image.height = png_get_image_height(png, info);
  image.colour_type = png_get_color_type(png, info);
  image.interlace = png_get_interlace_type(png, info);
  // Our decoder keeps the high byte of 16-bit samples, stores colour blue first, and keeps
  // palette indices and packed 1-, 2- and 4-bit samples as they are (no expansion).
  png_set_strip_16(png);
  if (image.colour_type & PNG_COLOR_MASK_COLOR) png_set_bgr(png);
  if (image.interlace != PNG_INTERLACE_NONE) png_set_interlace_handling(png);
  png_read_update_info(png, info);
  image.bit_depth = png_get_bit_depth(png, info);
  image.row_bytes = png_get_rowbytes(png, info);
  image.pixels.resize(image.row_bytes * image.height);
  rows.resize(image.height);
  for (uint32_t y = 0; y < image.height; ++y)
    rows[y] = image.pixels.data() + y * image.row_bytes;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_colorp palette = nullptr;
  int entries = 0;
  if (png_get_PLTE(png, info, &palette, &entries) != 0) {
    image.palette.resize(static_cast<size_t>(entries) * 3);
    for (int i = 0; i < entries; ++i) {
      image.palette[3 * i] = palette[i].red;
      image.palette[3 * i + 1] = palette[i].green;
      image.palette[3 * i + 2] = palette[i].blue;
    }
  }
  png_bytep alpha = nullptr;
  int alpha_count = 0;
  if (image.colour_type == PNG_COLOR_TYPE_PALETTE &&
      png_get_tRNS(png, info, &alpha, &alpha_count, nullptr) != 0) {
    image.palette_alpha.assign(alpha, alpha + alpha_count);
  }
  return true;
}

bool EncodeFrom(png_structp png, png_infop info, const LibpngImage& image,
                std::vector<uint8_t>& file, std::vector<png_color>& palette,
                std::vector<png_bytep>& rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, &file, WriteToMemory, FlushNothing);
  png_set_IHDR(png, info, image.width, image.height, image.bit_depth, image.colour_type,
               image.interlace, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!image.palette.empty()) {
    palette.resize(image.palette.size() / 3);
    for (size_t i = 0; i < palette.size(); ++i)
      palette[i] =
          png_color{image.palette[3 * i], image.palette[3 * i + 1], image.palette[3 * i + 2]};
    png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  }
  if (!image.palette_alpha.empty()) {
    png_set_tRNS(png, info, image.palette_alpha.data(),
                 static_cast<int>(image.palette_alpha.size()), nullptr);
  }
  // The settings of our encoder: one filter, and zlib as deflateInit sets it up at level 9
  // (libpng would otherwise pick Z_FILTERED for filtered rows).
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_compression_level(png, kLevel);
  png_set_compression_mem_level(png, kMemLevel);
  png_set_compression_window_bits(png, kWindowBits);
  png_set_compression_strategy(png, kStrategy);
  png_set_compression_method(png, Z_DEFLATED);
  png_set_compression_buffer_size(png, kIdatSize);
  png_write_info(png, info);
  if (image.colour_type & PNG_COLOR_MASK_COLOR) png_set_bgr(png);
  if (image.interlace != PNG_INTERLACE_NONE) png_set_interlace_handling(png);
  rows.resize(image.height);
  for (uint32_t y = 0; y < image.height; ++y)
    rows[y] = const_cast<png_bytep>(image.pixels.data() + y * image.row_bytes);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool LibpngDecode(const std::vector<uint8_t>& file, LibpngImage& image, std::string& error) {
  error.clear();
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, OnError, OnWarning);
  if (png == nullptr) {
    error = "png_create_read_struct failed";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  Reader reader{&file, 0};
  std::vector<png_bytep> rows;
  const bool decoded = info != nullptr && DecodeInto(png, info, reader, image, rows);
  png_destroy_read_struct(&png, &info, nullptr);
  return decoded;
}

bool LibpngEncode(const LibpngImage& image, std::vector<uint8_t>& file, std::string& error) {
  error.clear();
  file.clear();
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, OnError, OnWarning);
  if (png == nullptr) {
    error = "png_create_write_struct failed";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  std::vector<png_color> palette;
  std::vector<png_bytep> rows;
  const bool encoded = info != nullptr && EncodeFrom(png, info, image, file, palette, rows);
  png_destroy_write_struct(&png, &info);
  return encoded;
}

std::string LibpngVersion() {
  return std::string(png_get_libpng_ver(nullptr)) + " (built against " PNG_LIBPNG_VER_STRING ")";
}

}  // namespace bench
