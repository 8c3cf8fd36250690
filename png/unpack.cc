// Scanline unpacking: PNG sample layout in, device-independent-bitmap layout out. Samples of
// 1, 4 and 8 bits stay packed, 2-bit samples widen to 4-bit pixels, 16-bit samples keep their
// high-order byte, red, green and blue pass through the decode gamma table and are stored
// blue first, and alpha goes unchanged to the alpha plane.
#include "png/unpack.h"

#include <cstring>
#include <type_traits>

#include "png/chunk_idat.h"
#include "png/chunk_ihdr.h"
#include "png/png_object.h"
#include "png/swizzle.h"

namespace png {

namespace {

// The columns a row of pixels lands on: first, first + step, ... for count pixels.
struct Columns {
  int32_t first;
  int32_t step;
  int32_t count;
};

Columns PlainColumns(const TChunkIDAT& chunk) {
  return {0, 1, chunk.PixelWidth};
}

Columns PassColumns(const TChunkIDAT& chunk, int pass) {
  const Adam7Pass& p = kAdam7Passes[static_cast<size_t>(pass)];
  return {p.column, p.column_step, Adam7PassWidth(pass, chunk.PixelWidth)};
}

const uint8_t* Gamma(const TChunkIDAT& chunk) {
  return chunk.OwnerImage->DecodeGammaTable.data();
}

// A colour sample through the decode gamma table, or as it is when the table is the
// identity (no gamma chunk, or a gamma of 1), which lets the copy loops vectorise.
template <bool kGamma>
inline uint8_t Sample(const uint8_t* g, uint8_t value) {
  if constexpr (kGamma) return g[value];
  return value;
}

// Calls store with the gamma choice made once for the image.
template <typename Store>
inline void WithGamma(const TChunkIDAT& chunk, Store store) {
  if (chunk.GammaIsIdentity) {
    store(std::false_type{});
  } else {
    store(std::true_type{});
  }
}

// One loop per pixel form. They are inlined into their plain and pass routines, where the
// plain routine's step of 1 is a constant.

// Adam7 rows of 1, 4 or 8 bits: each pixel is ORed into the zeroed image row.
template <int kBits>
inline void StorePacked(const uint8_t* s, uint8_t* d, Columns columns) {
  if constexpr (kBits == 8) {
    for (int32_t k = 0, c = columns.first; k < columns.count; ++k, c += columns.step)
      d[c] = s[k];
  } else {
    constexpr int kMask = (1 << kBits) - 1;
    for (int32_t k = 0, c = columns.first; k < columns.count; ++k, c += columns.step) {
      const int32_t from = k * kBits;
      const int32_t to = c * kBits;
      const int sample = (s[from >> 3] >> (8 - kBits - (from & 7))) & kMask;
      d[to >> 3] = static_cast<uint8_t>(d[to >> 3] | (sample << (8 - kBits - (to & 7))));
    }
  }
}

// Adam7 rows of 2-bit samples into 4-bit pixels, each sample times kScale.
template <int kScale>
inline void StoreTwoBit(const uint8_t* s, uint8_t* d, Columns columns) {
  for (int32_t k = 0, c = columns.first; k < columns.count; ++k, c += columns.step) {
    const int sample = ((s[k >> 2] >> (6 - 2 * (k & 3))) & 3) * kScale;
    d[c >> 1] = static_cast<uint8_t>(d[c >> 1] | (sample << ((~c & 1) << 2)));
  }
}

inline void StoreGrey16(const uint8_t* s, uint8_t* d, Columns columns) {
  d += columns.first;
  for (int32_t k = 0; k < columns.count; ++k, s += 2, d += columns.step)
    *d = s[0];
}

template <bool kGamma>
inline void StoreRgb8(const uint8_t* s, uint8_t* d, Columns columns, const uint8_t* g) {
  d += 3 * columns.first;
  const int32_t step = 3 * columns.step;
  for (int32_t k = 0; k < columns.count; ++k, s += 3, d += step) {
    d[0] = Sample<kGamma>(g, s[2]);
    d[1] = Sample<kGamma>(g, s[1]);
    d[2] = Sample<kGamma>(g, s[0]);
  }
}

template <bool kGamma>
inline void StoreRgb16(const uint8_t* s, uint8_t* d, Columns columns, const uint8_t* g) {
  d += 3 * columns.first;
  const int32_t step = 3 * columns.step;
  for (int32_t k = 0; k < columns.count; ++k, s += 6, d += step) {
    d[0] = Sample<kGamma>(g, s[4]);
    d[1] = Sample<kGamma>(g, s[2]);
    d[2] = Sample<kGamma>(g, s[0]);
  }
}

inline void StoreGreyAlpha8(const uint8_t* s, uint8_t* d, uint8_t* a, Columns columns) {
  d += columns.first;
  a += columns.first;
  for (int32_t k = 0; k < columns.count; ++k, s += 2, d += columns.step, a += columns.step) {
    *d = s[0];
    *a = s[1];
  }
}

inline void StoreGreyAlpha16(const uint8_t* s, uint8_t* d, uint8_t* a, Columns columns) {
  d += columns.first;
  a += columns.first;
  for (int32_t k = 0; k < columns.count; ++k, s += 4, d += columns.step, a += columns.step) {
    *d = s[0];
    *a = s[2];
  }
}

template <bool kGamma>
inline void StoreRgbAlpha8(const uint8_t* s, uint8_t* d, uint8_t* a, Columns columns,
                           const uint8_t* g) {
  d += 3 * columns.first;
  a += columns.first;
  const int32_t step = 3 * columns.step;
  for (int32_t k = 0; k < columns.count; ++k, s += 4, d += step, a += columns.step) {
    *a = s[3];
    d[0] = Sample<kGamma>(g, s[2]);
    d[1] = Sample<kGamma>(g, s[1]);
    d[2] = Sample<kGamma>(g, s[0]);
  }
}

template <bool kGamma>
inline void StoreRgbAlpha16(const uint8_t* s, uint8_t* d, uint8_t* a, Columns columns,
                            const uint8_t* g) {
  d += 3 * columns.first;
  a += columns.first;
  const int32_t step = 3 * columns.step;
  for (int32_t k = 0; k < columns.count; ++k, s += 8, d += step, a += columns.step) {
    *a = s[6];
    d[0] = Sample<kGamma>(g, s[4]);
    d[1] = Sample<kGamma>(g, s[2]);
    d[2] = Sample<kGamma>(g, s[0]);
  }
}

}  // namespace

UnpackRoutines UnpackRoutinesFor(uint8_t colour_type, uint8_t bit_depth) {
  switch (colour_type) {
    case 0:
    case 3:
      switch (bit_depth) {
        case 1:
        case 4:
        case 8:
          return {UnpackRowIndexed, UnpackPassIndexed};
        case 2:
          return colour_type == 0 ? UnpackRoutines{UnpackRowGrey2, UnpackPassGrey2}
                                  : UnpackRoutines{UnpackRowIndexed2, UnpackPassIndexed2};
        case 16:
          return {UnpackRowGrey16, UnpackPassGrey16};
        default:
          return {};
      }
    case 2:
      if (bit_depth == 8) return {UnpackRowRgb8, UnpackPassRgb8};
      if (bit_depth == 16) return {UnpackRowRgb16, UnpackPassRgb16};
      return {};
    case 4:
      if (bit_depth == 8) return {UnpackRowGreyAlpha8, UnpackPassGreyAlpha8};
      if (bit_depth == 16) return {UnpackRowGreyAlpha16, UnpackPassGreyAlpha16};
      return {};
    case 6:
      if (bit_depth == 8) return {UnpackRowRgbAlpha8, UnpackPassRgbAlpha8};
      if (bit_depth == 16) return {UnpackRowRgbAlpha16, UnpackPassRgbAlpha16};
      return {};
    default:
      return {};
  }
}

void UnpackRowIndexed(const TChunkIDAT& chunk, const uint8_t* source, uint8_t* image_row,
                      uint8_t*) {
  // Both layouts pack pixels most significant bits first; the spare bits of the last byte
  // fall in the row's fill bytes.
  std::memcpy(image_row, source, static_cast<size_t>(chunk.RowSize));
}

void UnpackRowIndexed2(const TChunkIDAT& chunk, const uint8_t* source, uint8_t* image_row,
                       uint8_t*) {
  const int32_t size = chunk.RowSize;
  for (int32_t j = 0; j < size; ++j) {
    const int b = source[j];
    image_row[2 * j] = static_cast<uint8_t>(((b & 0xC0) >> 2) | ((b & 0x30) >> 4));
    image_row[2 * j + 1] = static_cast<uint8_t>(((b & 0x0C) << 2) | (b & 0x03));
  }
}

void UnpackRowGrey2(const TChunkIDAT& chunk, const uint8_t* source, uint8_t* image_row, uint8_t*) {
  // Four times each sample: the 2-bit levels index every fourth entry of the 16-level ramp.
  const int32_t size = chunk.RowSize;
  for (int32_t j = 0; j < size; ++j) {
    const int b = source[j];
    image_row[2 * j] = static_cast<uint8_t>((b & 0xC0) | ((b & 0x30) >> 2));
    image_row[2 * j + 1] = static_cast<uint8_t>(((b & 0x0C) << 4) | ((b & 0x03) << 2));
  }
}

void UnpackRowGrey16(const TChunkIDAT& chunk, const uint8_t* source, uint8_t* image_row, uint8_t*) {
  StoreGrey16(source, image_row, PlainColumns(chunk));
}

void UnpackRowRgb8(const TChunkIDAT& chunk, const uint8_t* source, uint8_t* image_row, uint8_t*) {
  if (chunk.GammaIsIdentity) {
    const int32_t done = SwapRedBlue24(source, image_row, chunk.PixelWidth);
    StoreRgb8<false>(source + 3 * done, image_row + 3 * done,
                     Columns{0, 1, chunk.PixelWidth - done}, nullptr);
    return;
  }
  WithGamma(chunk, [&](auto gamma) {
    StoreRgb8<decltype(gamma)::value>(source, image_row, PlainColumns(chunk), Gamma(chunk));
  });
}

void UnpackRowRgb16(const TChunkIDAT& chunk, const uint8_t* source, uint8_t* image_row, uint8_t*) {
  WithGamma(chunk, [&](auto gamma) {
    StoreRgb16<decltype(gamma)::value>(source, image_row, PlainColumns(chunk), Gamma(chunk));
  });
}

void UnpackRowGreyAlpha8(const TChunkIDAT& chunk, const uint8_t* source, uint8_t* image_row,
                         uint8_t* alpha_row) {
  StoreGreyAlpha8(source, image_row, alpha_row, PlainColumns(chunk));
}

void UnpackRowGreyAlpha16(const TChunkIDAT& chunk, const uint8_t* source, uint8_t* image_row,
                          uint8_t* alpha_row) {
  StoreGreyAlpha16(source, image_row, alpha_row, PlainColumns(chunk));
}

void UnpackRowRgbAlpha8(const TChunkIDAT& chunk, const uint8_t* source, uint8_t* image_row,
                        uint8_t* alpha_row) {
  if (chunk.GammaIsIdentity) {
    const int32_t done = SplitRgbAlpha32(source, image_row, alpha_row, chunk.PixelWidth);
    StoreRgbAlpha8<false>(source + 4 * done, image_row + 3 * done, alpha_row + done,
                          Columns{0, 1, chunk.PixelWidth - done}, nullptr);
    return;
  }
  WithGamma(chunk, [&](auto gamma) {
    StoreRgbAlpha8<decltype(gamma)::value>(source, image_row, alpha_row, PlainColumns(chunk),
                                           Gamma(chunk));
  });
}

void UnpackRowRgbAlpha16(const TChunkIDAT& chunk, const uint8_t* source, uint8_t* image_row,
                         uint8_t* alpha_row) {
  WithGamma(chunk, [&](auto gamma) {
    StoreRgbAlpha16<decltype(gamma)::value>(source, image_row, alpha_row, PlainColumns(chunk),
                                            Gamma(chunk));
  });
}

void UnpackPassIndexed(const TChunkIDAT& chunk, int pass, const uint8_t* source, uint8_t* image_row,
                       uint8_t*) {
  const Columns columns = PassColumns(chunk, pass);
  switch (chunk.HeaderChunk->BitDepth) {
    case 1:
      StorePacked<1>(source, image_row, columns);
      break;
    case 4:
      StorePacked<4>(source, image_row, columns);
      break;
    default:
      StorePacked<8>(source, image_row, columns);
      break;
  }
}

void UnpackPassIndexed2(const TChunkIDAT& chunk, int pass, const uint8_t* source,
                        uint8_t* image_row, uint8_t*) {
  StoreTwoBit<1>(source, image_row, PassColumns(chunk, pass));
}

void UnpackPassGrey2(const TChunkIDAT& chunk, int pass, const uint8_t* source, uint8_t* image_row,
                     uint8_t*) {
  StoreTwoBit<4>(source, image_row, PassColumns(chunk, pass));
}

void UnpackPassGrey16(const TChunkIDAT& chunk, int pass, const uint8_t* source, uint8_t* image_row,
                      uint8_t*) {
  StoreGrey16(source, image_row, PassColumns(chunk, pass));
}

void UnpackPassRgb8(const TChunkIDAT& chunk, int pass, const uint8_t* source, uint8_t* image_row,
                    uint8_t*) {
  WithGamma(chunk, [&](auto gamma) {
    StoreRgb8<decltype(gamma)::value>(source, image_row, PassColumns(chunk, pass), Gamma(chunk));
  });
}

void UnpackPassRgb16(const TChunkIDAT& chunk, int pass, const uint8_t* source, uint8_t* image_row,
                     uint8_t*) {
  WithGamma(chunk, [&](auto gamma) {
    StoreRgb16<decltype(gamma)::value>(source, image_row, PassColumns(chunk, pass), Gamma(chunk));
  });
}

void UnpackPassGreyAlpha8(const TChunkIDAT& chunk, int pass, const uint8_t* source,
                          uint8_t* image_row, uint8_t* alpha_row) {
  StoreGreyAlpha8(source, image_row, alpha_row, PassColumns(chunk, pass));
}

void UnpackPassGreyAlpha16(const TChunkIDAT& chunk, int pass, const uint8_t* source,
                           uint8_t* image_row, uint8_t* alpha_row) {
  StoreGreyAlpha16(source, image_row, alpha_row, PassColumns(chunk, pass));
}

void UnpackPassRgbAlpha8(const TChunkIDAT& chunk, int pass, const uint8_t* source,
                         uint8_t* image_row, uint8_t* alpha_row) {
  WithGamma(chunk, [&](auto gamma) {
    StoreRgbAlpha8<decltype(gamma)::value>(source, image_row, alpha_row, PassColumns(chunk, pass),
                                           Gamma(chunk));
  });
}

void UnpackPassRgbAlpha16(const TChunkIDAT& chunk, int pass, const uint8_t* source,
                          uint8_t* image_row, uint8_t* alpha_row) {
  WithGamma(chunk, [&](auto gamma) {
    StoreRgbAlpha16<decltype(gamma)::value>(source, image_row, alpha_row, PassColumns(chunk, pass),
                                            Gamma(chunk));
  });
}

}  // namespace png
