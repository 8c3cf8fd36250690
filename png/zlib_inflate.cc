// The decompression half of the zlib layer.
#include <array>
#include <cstdint>

#include "png/zlib_layer.h"

namespace png {

namespace {

constexpr size_t kInflateBufferSize = 65535;
constexpr uInt kBlockWorkSize = 256;

}  // namespace

void OpenInflate(platform::TStream& stream, TZlibStreamContext& context) {
  context.ZStream = z_stream{};
  context.IoBuffer.assign(kInflateBufferSize, 0);
  context.FileStream = &stream;
  // A refused initialisation shows up as an error from the first inflate call.
  inflateInit_(&context.ZStream, kZlibVersionText, static_cast<int>(sizeof(z_stream)));
}

void CloseInflate(TZlibStreamContext& context) {
  inflateEnd(&context.ZStream);
  context.IoBuffer = std::vector<uint8_t>();
}

bool DecompressBlock(const uint8_t* data, int32_t size, std::vector<uint8_t>& block,
                     int32_t& decompressed_size, std::string& message) {
  bool result = true;
  decompressed_size = 0;
  block.clear();
  z_stream stream{};
  inflateInit_(&stream, kZlibVersionText, static_cast<int>(sizeof(z_stream)));
  stream.next_in = const_cast<Bytef*>(data);
  stream.avail_in = size > 0 ? static_cast<uInt>(size) : 0;
  std::array<uint8_t, kBlockWorkSize> work;
  stream.avail_out = 0;
  for (;;) {
    if (stream.avail_out == 0) {
      stream.next_out = work.data();
      stream.avail_out = kBlockWorkSize;
    }
    uint8_t* const before = stream.next_out;
    const int code = inflate(&stream, Z_NO_FLUSH);
    if (code < 0 || code == Z_NEED_DICT) {
      result = false;
      message = stream.msg != nullptr ? stream.msg : "";
      break;
    }
    const int64_t produced = stream.next_out - before;
    if (static_cast<int64_t>(block.size()) + produced > kMaxDecompressedBlock) {
      result = false;
      message.clear();
      break;
    }
    block.insert(block.end(), before, stream.next_out);
    decompressed_size += static_cast<int32_t>(produced);
    if (code == Z_STREAM_END) break;
  }
  inflateEnd(&stream);
  return result;
}

}  // namespace png
