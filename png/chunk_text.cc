#include "png/chunk_text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "png/png_object.h"
#include "png/zlib_layer.h"

namespace png {

namespace {

// Data of at least this many bytes holds a keyword, its zero byte and some text.
constexpr int32_t kShortestText = 3;
// The same, with the compression-method byte.
constexpr int32_t kShortestCompressedText = 4;
constexpr uint8_t kMethodZlib = 0;

// Data bytes up to the first zero byte (all of them when there is none).
std::string KeywordOf(const uint8_t* data, int32_t length) {
  const uint8_t* end = data + length;
  return std::string(data, std::find(data, end, uint8_t{0}));
}

// Fills the chunk data with the keyword, a zero byte, an extra byte when asked for (the
// compression method, 0) and body; false when that is more than a chunk can hold.
bool BuildKeywordData(TChunk& chunk, const std::string& keyword, bool method_byte,
                      const uint8_t* body, size_t body_size) {
  const size_t head = keyword.size() + (method_byte ? 2 : 1);
  if (body_size > static_cast<size_t>(std::numeric_limits<int32_t>::max()) ||
      head > static_cast<size_t>(std::numeric_limits<int32_t>::max()) - body_size) {
    return false;
  }
  chunk.SetPayloadSize(static_cast<int32_t>(head + body_size));
  uint8_t* data = chunk.Payload.data();
  std::memset(data, 0, head);
  std::memcpy(data, keyword.data(), keyword.size());
  if (body_size != 0) std::memcpy(data + head, body, body_size);
  return true;
}

}  // namespace

void TChunktEXt::CopyFrom(const TChunk& source) {
  if (const auto* text = dynamic_cast<const TChunktEXt*>(&source)) {
    Keyword = text->Keyword;
    Text = text->Text;
  }
}

bool TChunktEXt::ReadChunk(platform::TStream& stream, const ChunkName& type, int32_t length) {
  const bool result = TChunk::ReadChunk(stream, type, length);
  if (!result || length < kShortestText) return result;
  const uint8_t* data = Payload.data();
  Keyword = KeywordOf(data, length);
  const size_t text_start = std::min(Keyword.size() + 1, static_cast<size_t>(length));
  Text.assign(reinterpret_cast<const char*>(data) + text_start,
              static_cast<size_t>(length) - text_start);
  return result;
}

bool TChunktEXt::WriteChunk(platform::TStream& stream) {
  // A text too long for one chunk is left out of the file.
  if (!BuildKeywordData(*this, Keyword, false, reinterpret_cast<const uint8_t*>(Text.data()),
                        Text.size())) {
    return false;
  }
  return TChunk::WriteChunk(stream);
}

bool TChunkzTXt::ReadChunk(platform::TStream& stream, const ChunkName& type, int32_t length) {
  const bool result = TChunktEXt::ReadChunk(stream, type, length);
  if (!result || length < kShortestCompressedText) return result;
  const uint8_t* data = Payload.data();
  Keyword = KeywordOf(data, length);
  Text.clear();
  const size_t method_at = Keyword.size() + 1;
  if (method_at >= static_cast<size_t>(length) || data[method_at] != kMethodZlib) return result;
  const auto compressed_size = static_cast<int32_t>(static_cast<size_t>(length) - method_at - 1);
  std::vector<uint8_t> block;
  int32_t size = 0;
  std::string message;
  // A text that does not decompress is dropped; the chunk stays.
  if (compressed_size > 0 &&
      DecompressBlock(data + method_at + 1, compressed_size, block, size, message)) {
    Text.assign(block.begin(), block.begin() + std::clamp<int64_t>(size, 0, block.size()));
  }
  return result;
}

bool TChunkzTXt::WriteChunk(platform::TStream& stream) {
  // An empty text is saved as one space (push_back keeps g++ 12 -O3 from a false -Wrestrict).
  if (Text.empty()) Text.push_back(' ');
  if (Text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return false;
  std::vector<uint8_t> block;
  int32_t size = 0;
  std::string message;
  if (!CompressBlock(reinterpret_cast<const uint8_t*>(Text.data()),
                     static_cast<int32_t>(Text.size()), OwnerImage->CompressionLevel(), message,
                     size, block)) {
    return false;
  }
  const size_t compressed = static_cast<size_t>(std::clamp<int64_t>(size, 0, block.size()));
  if (!BuildKeywordData(*this, Keyword, true, block.data(), compressed)) return false;
  return TChunk::WriteChunk(stream);
}

}  // namespace png
