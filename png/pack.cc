// Each format has its own column loop, written once for a first column and a column step:
// the plain routine walks every column, the Adam7 twin the columns of its pass.
#include "png/pack.h"

#include <cstddef>
#include <cstring>

#include "png/chunk_idat.h"
#include "png/chunk_ihdr.h"
#include "png/png_object.h"
#include "png/swizzle.h"

namespace png {

namespace {

// The columns a routine visits: from first, step apart, below width.
struct Columns {
  int32_t first;
  int32_t step;
  int32_t width;
};

Columns AllColumns(const TChunkIDAT& chunk) {
  return {0, 1, chunk.PixelWidth};
}

Columns PassColumns(const TChunkIDAT& chunk, uint8_t pass) {
  return {kAdam7Passes[pass].column, kAdam7Passes[pass].column_step, chunk.PixelWidth};
}

const uint8_t* EncodeGamma(const TChunkIDAT& chunk) {
  return chunk.OwnerImage->EncodeGammaTable.data();
}

// Buffer pixels of colour types 2 and 6 are three bytes: blue, green, red.
const uint8_t* Bgr(const uint8_t* source, int32_t x) {
  return source + 3 * static_cast<ptrdiff_t>(x);
}

// Samples of fewer than 8 bits, most significant first; the last byte's spare bits stay 0.
template <int kBits>
void IndexedColumns(Columns c, const uint8_t* source, uint8_t* d, int32_t row_size) {
  if constexpr (kBits == 8) {
    for (int32_t x = c.first; x < c.width; x += c.step)
      *d++ = source[x];
  } else {
    constexpr int kMask = (1 << kBits) - 1;
    std::memset(d, 0, static_cast<size_t>(row_size));
    int shift = 8 - kBits;
    for (int32_t x = c.first; x < c.width; x += c.step) {
      const int64_t bit = static_cast<int64_t>(x) * kBits;
      const int value = (source[bit >> 3] >> (8 - kBits - static_cast<int>(bit & 7))) & kMask;
      *d = static_cast<uint8_t>(*d | (value << shift));
      shift -= kBits;
      if (shift < 0) {
        shift = 8 - kBits;
        ++d;
      }
    }
  }
}

void Grey16Columns(Columns c, const uint8_t* source, uint8_t* d) {
  for (int32_t x = c.first; x < c.width; x += c.step, d += 2) {
    d[0] = source[x];
    d[1] = 0;
  }
}

void Rgb8Columns(Columns c, const uint8_t* source, uint8_t* d, const uint8_t* e) {
  for (int32_t x = c.first; x < c.width; x += c.step, d += 3) {
    const uint8_t* p = Bgr(source, x);
    d[0] = e[p[2]];
    d[1] = e[p[1]];
    d[2] = e[p[0]];
  }
}

void Rgb16Columns(Columns c, const uint8_t* source, uint8_t* d, const uint8_t* e) {
  for (int32_t x = c.first; x < c.width; x += c.step, d += 6) {
    const uint8_t* p = Bgr(source, x);
    d[0] = e[p[2]];
    d[1] = 0;
    d[2] = e[p[1]];
    d[3] = 0;
    d[4] = e[p[0]];
    d[5] = 0;
  }
}

void GreyAlpha8Columns(Columns c, const uint8_t* source, const uint8_t* alpha, uint8_t* d) {
  for (int32_t x = c.first; x < c.width; x += c.step, d += 2) {
    d[0] = source[x];
    d[1] = alpha[x];
  }
}

void GreyAlpha16Columns(Columns c, const uint8_t* source, const uint8_t* alpha, uint8_t* d) {
  for (int32_t x = c.first; x < c.width; x += c.step, d += 4) {
    d[0] = source[x];
    d[1] = 0;
    d[2] = alpha[x];
    d[3] = 0;
  }
}

void RgbAlpha8Columns(Columns c, const uint8_t* source, const uint8_t* alpha, uint8_t* d,
                      const uint8_t* e) {
  for (int32_t x = c.first; x < c.width; x += c.step, d += 4) {
    const uint8_t* p = Bgr(source, x);
    d[0] = e[p[2]];
    d[1] = e[p[1]];
    d[2] = e[p[0]];
    d[3] = alpha[x];
  }
}

template <bool kMapColour>
void RgbAlpha16Columns(Columns c, const uint8_t* source, const uint8_t* alpha, uint8_t* d,
                       const uint8_t* e) {
  for (int32_t x = c.first; x < c.width; x += c.step, d += 8) {
    const uint8_t* p = Bgr(source, x);
    if constexpr (kMapColour) {
      d[0] = e[p[2]];
      d[2] = e[p[1]];
      d[4] = e[p[0]];
    } else {
      d[0] = p[2];
      d[2] = p[1];
      d[4] = p[0];
    }
    d[1] = 0;
    d[3] = 0;
    d[5] = 0;
    d[6] = alpha[x];
    d[7] = 0;
  }
}

// The buffer holds these pixels at the file's bit depth and bit order already.
void PackRowIndexed(const TChunkIDAT& chunk, const uint8_t* source, const uint8_t*,
                    uint8_t* destination) {
  std::memcpy(destination, source, static_cast<size_t>(chunk.RowSize));
}

void PackPassIndexed(const TChunkIDAT& chunk, uint8_t pass, const uint8_t* source, const uint8_t*,
                     uint8_t* destination) {
  const Columns c = PassColumns(chunk, pass);
  switch (chunk.HeaderChunk->BufferBitsPerPixel()) {
    case 1:
      IndexedColumns<1>(c, source, destination, chunk.RowSize);
      break;
    case 4:
      IndexedColumns<4>(c, source, destination, chunk.RowSize);
      break;
    default:
      IndexedColumns<8>(c, source, destination, chunk.RowSize);
      break;
  }
}

void PackRowGrey16(const TChunkIDAT& chunk, const uint8_t* source, const uint8_t*,
                   uint8_t* destination) {
  Grey16Columns(AllColumns(chunk), source, destination);
}

void PackPassGrey16(const TChunkIDAT& chunk, uint8_t pass, const uint8_t* source, const uint8_t*,
                    uint8_t* destination) {
  Grey16Columns(PassColumns(chunk, pass), source, destination);
}

void PackRowRgb8(const TChunkIDAT& chunk, const uint8_t* source, const uint8_t*,
                 uint8_t* destination) {
  int32_t done = 0;
  if (chunk.GammaIsIdentity) done = SwapRedBlue24(source, destination, chunk.PixelWidth);
  Rgb8Columns(Columns{done, 1, chunk.PixelWidth}, source, destination + 3 * done,
              EncodeGamma(chunk));
}

void PackPassRgb8(const TChunkIDAT& chunk, uint8_t pass, const uint8_t* source, const uint8_t*,
                  uint8_t* destination) {
  Rgb8Columns(PassColumns(chunk, pass), source, destination, EncodeGamma(chunk));
}

void PackRowRgb16(const TChunkIDAT& chunk, const uint8_t* source, const uint8_t*,
                  uint8_t* destination) {
  Rgb16Columns(AllColumns(chunk), source, destination, EncodeGamma(chunk));
}

void PackPassRgb16(const TChunkIDAT& chunk, uint8_t pass, const uint8_t* source, const uint8_t*,
                   uint8_t* destination) {
  Rgb16Columns(PassColumns(chunk, pass), source, destination, EncodeGamma(chunk));
}

void PackRowGreyAlpha8(const TChunkIDAT& chunk, const uint8_t* source, const uint8_t* alpha,
                       uint8_t* destination) {
  GreyAlpha8Columns(AllColumns(chunk), source, alpha, destination);
}

void PackPassGreyAlpha8(const TChunkIDAT& chunk, uint8_t pass, const uint8_t* source,
                        const uint8_t* alpha, uint8_t* destination) {
  GreyAlpha8Columns(PassColumns(chunk, pass), source, alpha, destination);
}

void PackRowGreyAlpha16(const TChunkIDAT& chunk, const uint8_t* source, const uint8_t* alpha,
                        uint8_t* destination) {
  GreyAlpha16Columns(AllColumns(chunk), source, alpha, destination);
}

void PackPassGreyAlpha16(const TChunkIDAT& chunk, uint8_t pass, const uint8_t* source,
                         const uint8_t* alpha, uint8_t* destination) {
  GreyAlpha16Columns(PassColumns(chunk, pass), source, alpha, destination);
}

void PackRowRgbAlpha8(const TChunkIDAT& chunk, const uint8_t* source, const uint8_t* alpha,
                      uint8_t* destination) {
  RgbAlpha8Columns(AllColumns(chunk), source, alpha, destination, EncodeGamma(chunk));
}

void PackPassRgbAlpha8(const TChunkIDAT& chunk, uint8_t pass, const uint8_t* source,
                       const uint8_t* alpha, uint8_t* destination) {
  RgbAlpha8Columns(PassColumns(chunk, pass), source, alpha, destination, EncodeGamma(chunk));
}

void PackRowRgbAlpha16(const TChunkIDAT& chunk, const uint8_t* source, const uint8_t* alpha,
                       uint8_t* destination) {
  RgbAlpha16Columns<true>(AllColumns(chunk), source, alpha, destination, EncodeGamma(chunk));
}

// Unlike every other routine that writes colour, interlaced rows of this format carry red,
// green and blue without the encode table; the difference is deliberate and kept.
void PackPassRgbAlpha16(const TChunkIDAT& chunk, uint8_t pass, const uint8_t* source,
                        const uint8_t* alpha, uint8_t* destination) {
  RgbAlpha16Columns<false>(PassColumns(chunk, pass), source, alpha, destination, nullptr);
}

}  // namespace

Packing ChoosePacking(uint8_t colour_type, uint8_t bit_depth) {
  switch (colour_type) {
    case 0:
    case 3:
      if (bit_depth == 1 || bit_depth == 4 || bit_depth == 8) {
        return {PackRowIndexed, PackPassIndexed, bit_depth};
      }
      if (bit_depth == 16) return {PackRowGrey16, PackPassGrey16, 8};
      return {};
    case 2:
      if (bit_depth == 8) return {PackRowRgb8, PackPassRgb8, 24};
      if (bit_depth == 16) return {PackRowRgb16, PackPassRgb16, 24};
      return {};
    case 4:
      if (bit_depth == 8) return {PackRowGreyAlpha8, PackPassGreyAlpha8, 8};
      if (bit_depth == 16) return {PackRowGreyAlpha16, PackPassGreyAlpha16, 8};
      return {};
    case 6:
      if (bit_depth == 8) return {PackRowRgbAlpha8, PackPassRgbAlpha8, 24};
      if (bit_depth == 16) return {PackRowRgbAlpha16, PackPassRgbAlpha16, 24};
      return {};
    default:
      return {};
  }
}

}  // namespace png
