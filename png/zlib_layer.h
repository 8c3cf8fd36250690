// The thin layer over zlib: a stream tied to its buffer and to the platform stream it
// serves, and one-shot compression and decompression of memory blocks.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/stream.h"

namespace png {

// The zlib version text the layer initialises its streams with; zlib compares only the
// first character.
inline constexpr char kZlibVersionText[] = "1.1.4";

struct TZlibStreamContext {
  z_stream ZStream{};
  // Decompression: the input buffer of 65,535 bytes; compression: the output buffer.
  std::vector<uint8_t> IoBuffer;
  platform::TStream* FileStream = nullptr;
  // Decompression: inflated bytes not yet handed out, [StagedBegin, StagedEnd) of Staging,
  // and how many more the image may still take from the stream.
  std::vector<uint8_t> Staging;
  size_t StagedBegin = 0;
  size_t StagedEnd = 0;
  int64_t InflateBudget = 0;
};

// The text that describes a zlib result code, such as "data error (-3)".
std::string_view ZlibResultDescription(int code);
// Raises EPNGZLIBError with the description of the code.
[[noreturn]] void RaiseZlibError(int code);

// Decompression half.
void OpenInflate(platform::TStream& stream, TZlibStreamContext& context);
void CloseInflate(TZlibStreamContext& context);
// The most a memory block may inflate to: a few kilobytes of deflate data can otherwise ask
// for gigabytes.
inline constexpr int64_t kMaxDecompressedBlock = int64_t{16} << 20;

// Inflates a whole zlib stream held in memory. On failure (also for a result beyond
// kMaxDecompressedBlock) returns false with zlib's message text; block may then hold what
// was inflated so far.
bool DecompressBlock(const uint8_t* data, int32_t size, std::vector<uint8_t>& block,
                     int32_t& decompressed_size, std::string& message);

// Compression half.
void OpenDeflate(platform::TStream& stream, uint8_t level, uint32_t buffer_size,
                 TZlibStreamContext& context);
void CloseDeflate(TZlibStreamContext& context);
// Deflates a memory block into one zlib stream at the level. On failure returns false with
// zlib's message text (empty when zlib gives none).
bool CompressBlock(const uint8_t* data, int32_t size, uint8_t level, std::string& message,
                   int32_t& compressed_size, std::vector<uint8_t>& block);

}  // namespace png
