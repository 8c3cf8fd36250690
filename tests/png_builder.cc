#include "tests/png_builder.h"

#include <zlib.h>

#include <algorithm>

#include "tests/fixture_dump.h"

namespace tests {

namespace {

void AppendChunk(Bytes& out, std::string_view type, const Bytes& data, bool damage_crc) {
  const Bytes length = Be32(static_cast<uint32_t>(data.size()));
  out.insert(out.end(), length.begin(), length.end());
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type.data()), 4);
  // zlib answers a null buffer with its initial value, so empty data is left out.
  if (!data.empty()) crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
  const Bytes stored = Be32(static_cast<uint32_t>(crc) ^ (damage_crc ? 1u : 0u));
  out.insert(out.end(), stored.begin(), stored.end());
}

}  // namespace

Bytes Be32(uint32_t value) {
  return {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
          static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts)
    out.insert(out.end(), part.begin(), part.end());
  return out;
}

Bytes ZlibCompress(const Bytes& raw, int level) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes out(size);
  compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), level);
  out.resize(size);
  return out;
}

Bytes SlowToSavePng(uint32_t side, uint32_t row_run) {
  Bytes raw;
  raw.reserve(static_cast<size_t>(side) * (3 * side + 1));
  uint32_t state = 12345;
  for (uint32_t y = 0; y < side; ++y) {
    raw.push_back(0);
    for (uint32_t x = 0; x < side; ++x) {
      state = state * 1103515245u + 12345u;
      uint8_t grey = (state >> 16) & 1 ? 200 : 40;
      if (y == 1 && x >= 1 && x <= row_run + 1) grey = x <= row_run ? 40 : 200;
      if (x == 0 || y == 0 || x == side - 1 || y == side - 1) grey = 255;
      raw.insert(raw.end(), 3, grey);
    }
  }
  return PngBuilder().Ihdr(side, side, 8, 2).Chunk("IDAT", ZlibCompress(raw, 1)).Iend().Data();
}

PngBuilder::PngBuilder() : data_{137, 80, 78, 71, 13, 10, 26, 10} {}

PngBuilder& PngBuilder::Chunk(std::string_view type, const Bytes& data) {
  AppendChunk(data_, type, data, false);
  return *this;
}

PngBuilder& PngBuilder::BadCrcChunk(std::string_view type, const Bytes& data) {
  AppendChunk(data_, type, data, true);
  return *this;
}

PngBuilder& PngBuilder::Ihdr(uint32_t width, uint32_t height, uint8_t bit_depth,
                             uint8_t colour_type, uint8_t interlace) {
  Bytes data = Concat({Be32(width), Be32(height)});
  data.insert(data.end(), {bit_depth, colour_type, 0, 0, interlace});
  return Chunk("IHDR", data);
}

PngBuilder& PngBuilder::Idat(const Bytes& raw, size_t piece) {
  const Bytes compressed = ZlibCompress(raw);
  size_t at = 0;
  do {
    const size_t take = std::min(std::max<size_t>(piece, 1), compressed.size() - at);
    Chunk("IDAT", Bytes(compressed.begin() + static_cast<long>(at),
                        compressed.begin() + static_cast<long>(at + take)));
    at += take;
  } while (at < compressed.size());
  return *this;
}

PngBuilder& PngBuilder::IdatPieces(const Bytes& stream, const std::vector<size_t>& pattern) {
  size_t at = 0;
  for (size_t turn = 0; at < stream.size(); ++turn) {
    const size_t take = std::min(pattern[turn % pattern.size()], stream.size() - at);
    Chunk("IDAT", Bytes(stream.begin() + static_cast<long>(at),
                        stream.begin() + static_cast<long>(at + take)));
    at += take;
  }
  return *this;
}

PngBuilder& PngBuilder::Iend() {
  return Chunk("IEND", {});
}

PngBuilder& PngBuilder::Raw(const Bytes& bytes) {
  data_.insert(data_.end(), bytes.begin(), bytes.end());
  return *this;
}

const Bytes& PngBuilder::Data() const {
  DumpFixture(".png", data_);
  return data_;
}

}  // namespace tests
