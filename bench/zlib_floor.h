// The zlib floor of a PNG codec: inflating a file's image data and deflating filtered
// scanlines, with nothing else around them. The deflate parameters are the ones our encoder
// uses (deflateInit at the level: zlib's defaults for the rest), and the libpng side is set
// to the same, so the three encodes compress alike.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <vector>

namespace bench {

using Bytes = std::vector<uint8_t>;

inline constexpr int kLevel = 9;
inline constexpr int kWindowBits = 15;  // MAX_WBITS, what deflateInit gives
inline constexpr int kMemLevel = 8;     // zlib's default memory level
inline constexpr int kStrategy = Z_DEFAULT_STRATEGY;

// The payloads of a PNG file's IDAT chunks, joined: one zlib stream. Empty when the file
// is no PNG file or its chunks run past its end.
Bytes ConcatenatedIdat(const Bytes& file);

// Inflates a whole zlib stream into out, whose size must be at least the inflated size;
// returns the number of bytes produced, or -1 on a zlib error.
int64_t InflateInto(const Bytes& compressed, Bytes& out);

// Inflates a zlib stream whose inflated size is unknown (not timed); empty on error.
Bytes InflateAll(const Bytes& compressed);

// Deflates raw into out (resized to deflateBound first) with the parameters above in one
// call; returns the compressed size, or -1 on a zlib error.
int64_t DeflateLevel9(const Bytes& raw, Bytes& out);

}  // namespace bench
