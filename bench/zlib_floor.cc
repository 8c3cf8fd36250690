#include "bench/zlib_floor.h"

#include <cstring>

namespace bench {

namespace {

uint32_t Be32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

}  // namespace

Bytes ConcatenatedIdat(const Bytes& file) {
  static constexpr uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
  Bytes joined;
  if (file.size() < 8 || std::memcmp(file.data(), kSignature, 8) != 0) return joined;
  for (size_t at = 8; at + 12 <= file.size();) {
    const uint64_t length = Be32(&file[at]);
    if (length > file.size() - at - 12) return Bytes{};
    const uint8_t* data = &file[at + 8];
    if (std::memcmp(&file[at + 4], "IDAT", 4) == 0)
      joined.insert(joined.end(), data, data + length);
    if (std::memcmp(&file[at + 4], "IEND", 4) == 0) break;
    at += 12 + length;
  }
  return joined;
}

int64_t InflateInto(const Bytes& compressed, Bytes& out) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return -1;
  stream.next_in = const_cast<Bytef*>(compressed.data());
  stream.avail_in = static_cast<uInt>(compressed.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  const int code = inflate(&stream, Z_FINISH);
  const int64_t produced = static_cast<int64_t>(stream.total_out);
  inflateEnd(&stream);
  return code == Z_STREAM_END ? produced : -1;
}

Bytes InflateAll(const Bytes& compressed) {
  z_stream stream{};
  Bytes out;
  if (inflateInit(&stream) != Z_OK) return out;
  stream.next_in = const_cast<Bytef*>(compressed.data());
  stream.avail_in = static_cast<uInt>(compressed.size());
  int code = Z_OK;
  while (code == Z_OK) {
    out.resize(out.size() + (size_t{1} << 20));
    stream.next_out = out.data() + stream.total_out;
    stream.avail_out = static_cast<uInt>(out.size() - stream.total_out);
    code = inflate(&stream, Z_NO_FLUSH);
  }
  out.resize(stream.total_out);
  inflateEnd(&stream);
  if (code != Z_STREAM_END) out.clear();
  return out;
}

int64_t DeflateLevel9(const Bytes& raw, Bytes& out) {
  z_stream stream{};
  if (deflateInit2(&stream, kLevel, Z_DEFLATED, kWindowBits, kMemLevel, kStrategy) != Z_OK) {
    return -1;
  }
  out.resize(deflateBound(&stream, static_cast<uLong>(raw.size())));
  stream.next_in = const_cast<Bytef*>(raw.data());
  stream.avail_in = static_cast<uInt>(raw.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  const int code = deflate(&stream, Z_FINISH);
  const int64_t produced = static_cast<int64_t>(stream.total_out);
  deflateEnd(&stream);
  return code == Z_STREAM_END ? produced : -1;
}

}  // namespace bench
