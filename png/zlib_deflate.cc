// The compression half of the zlib layer.
#include <zlib.h>

#include <array>
#include <cstdint>
#include <string>

#include "png/exceptions.h"
#include "png/messages.h"
#include "png/zlib_layer.h"

namespace png {

namespace {

// zlib compares only the major version of this text with its own.
constexpr uInt kWorkBufferSize = 256;

int InitialiseDeflate(z_stream& stream, uint8_t level) {
  return deflateInit_(&stream, level, kZlibVersionText, static_cast<int>(sizeof(z_stream)));
}

}  // namespace

// A refused initialisation (a level outside 0 to 9, say) raises here, so that a save never
// starts on a stream that cannot compress.
void OpenDeflate(platform::TStream& stream, uint8_t level, uint32_t buffer_size,
                 TZlibStreamContext& context) {
  context.ZStream = z_stream{};
  context.IoBuffer.assign(buffer_size, 0);
  context.FileStream = &stream;
  context.ZStream.next_out = context.IoBuffer.data();
  context.ZStream.avail_out = buffer_size;
  const int result = InitialiseDeflate(context.ZStream, level);
  if (result != Z_OK) {
    RaiseZlibError(result);
  }
}

void CloseDeflate(TZlibStreamContext& context) {
  deflateEnd(&context.ZStream);
  std::vector<uint8_t>().swap(context.IoBuffer);
}

bool CompressBlock(const uint8_t* data, int32_t size, uint8_t level, std::string& message,
                   int32_t& compressed_size, std::vector<uint8_t>& block) {
  compressed_size = 0;
  block.clear();
  z_stream stream{};
  // A refused initialisation shows up as an error of the first deflate call.
  InitialiseDeflate(stream, level);
  stream.next_in = const_cast<Bytef*>(data);
  stream.avail_in = size > 0 ? static_cast<uInt>(size) : 0;
  std::array<uint8_t, kWorkBufferSize> work;
  int result = Z_OK;
  while (result != Z_STREAM_END) {
    if (stream.avail_out == 0) {
      stream.next_out = work.data();
      stream.avail_out = kWorkBufferSize;
    }
    const uInt input_before = stream.avail_in;
    const uInt room_before = stream.avail_out;
    result = deflate(&stream, Z_FINISH);
    const uInt produced = room_before - stream.avail_out;
    const bool stuck = result == Z_OK && produced == 0 && stream.avail_in == input_before;
    if (result < 0 || stuck || block.size() + produced > INT32_MAX) {
      message = stream.msg != nullptr ? stream.msg : "";
      deflateEnd(&stream);
      return false;
    }
    block.insert(block.end(), stream.next_out - produced, stream.next_out);
    compressed_size = static_cast<int32_t>(block.size());
  }
  deflateEnd(&stream);
  return true;
}

}  // namespace png
