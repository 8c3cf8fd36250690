// Composes PNG files byte by byte for test fixtures. CRCs come from zlib, independently of
// the codec's own CRC.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tests {

using Bytes = std::vector<uint8_t>;

class PngBuilder {
 public:
  PngBuilder();  // starts with the signature

  PngBuilder& Chunk(std::string_view type, const Bytes& data);
  // A chunk whose stored CRC is deliberately wrong.
  PngBuilder& BadCrcChunk(std::string_view type, const Bytes& data);
  PngBuilder& Ihdr(uint32_t width, uint32_t height, uint8_t bit_depth, uint8_t colour_type,
                   uint8_t interlace = 0);
  // The raw bytes as one zlib stream, cut into IDAT chunks of at most piece bytes.
  PngBuilder& Idat(const Bytes& raw, size_t piece = SIZE_MAX);
  // A ready zlib stream cut into IDAT chunks whose sizes follow the pattern, repeated until
  // the stream is used up; a size of 0 makes an empty chunk (the pattern needs one above 0).
  PngBuilder& IdatPieces(const Bytes& stream, const std::vector<size_t>& pattern);
  PngBuilder& Iend();
  PngBuilder& Raw(const Bytes& bytes);

  const Bytes& Data() const;

 private:
  Bytes data_;
};

Bytes Be32(uint32_t value);
// A truecolour PNG, side x side, with a one-pixel white frame around pixels of two random
// greys, of which the first `row_run` inside the frame's top row are one grey and the next
// the other: little to
// store, but slow to compress at level 9, so that trimming it takes a while. The file
// itself is compressed at level 1, quickly.
Bytes SlowToSavePng(uint32_t side, uint32_t row_run = 0);
Bytes Concat(std::initializer_list<Bytes> parts);
Bytes ZlibCompress(const Bytes& raw, int level = 9);

}  // namespace tests
