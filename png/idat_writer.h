// The stream side of the image-data save: feeding the compressor and cutting its output into
// IDAT chunks of the context's buffer size.
#pragma once

#include <cstdint>

#include "platform/stream.h"
#include "png/zlib_layer.h"

namespace png {

// Writes one IDAT chunk: length, type, data and CRC.
void EmitIdatChunk(platform::TStream& stream, const uint8_t* data, int32_t length);
// Compresses the bytes, writing a chunk each time the output buffer fills; raises
// EPNGZLIBError when zlib fails.
void FeedDeflate(TZlibStreamContext& context, const uint8_t* data, int32_t length);
// Ends the zlib stream and writes what is left; never writes an empty chunk.
void FinishDeflate(TZlibStreamContext& context);

}  // namespace png
