// The decompression half of the zlib layer.
#include <array>
#include <cstdint>

#include "png/zlib_layer.h"

namespace png {

namespace {

// zlib 1.2.x compares only the first character of the version it is given.
constexpr char kZlibVersion[] = "1.1.4";
constexpr size_t kInflateBufferSize = 65535;
constexpr uInt kBlockWorkSize = 256;

constexpr std::array<std::string_view, 9> kZlibResultDescriptions = {"incompatible version (-6)",
                                                                     "buffer error (-5)",
                                                                     "insufficient memory (-4)",
                                                                     "data error (-3)",
                                                                     "stream error (-2)",
                                                                     "file error (-1)",
                                                                     "(0)",
                                                                     "stream end (1)",
                                                                     "need dictionary (2)"};

}  // namespace

std::string_view ZlibResultDescription(int code) {
  const int index = code + 6;
  if (index < 0 || index >= static_cast<int>(kZlibResultDescriptions.size())) return {};
  return kZlibResultDescriptions[static_cast<size_t>(index)];
}

void OpenInflate(platform::TStream& stream, TZlibStreamContext& context) {
  context.ZStream = z_stream{};
  context.IoBuffer.assign(kInflateBufferSize, 0);
  context.FileStream = &stream;
  // A refused initialisation shows up as an error from the first inflate call.
  inflateInit_(&context.ZStream, kZlibVersion, static_cast<int>(sizeof(z_stream)));
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
  inflateInit_(&stream, kZlibVersion, static_cast<int>(sizeof(z_stream)));
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
    // The size is reported in 32 bits; a block that outgrows it is refused.
    if (static_cast<int64_t>(block.size()) + produced > INT32_MAX) {
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
