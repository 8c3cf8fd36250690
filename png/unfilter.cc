#include "png/unfilter.h"

#include <algorithm>
#include <cstring>

#include "png/chunk_idat.h"
#include "png/png_object.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace png {

namespace {

// Portable loops, for every stride. The Paeth one is the reference the vector loops match.

void SubScalar(uint8_t* x, int32_t size, int32_t stride) {
  for (int32_t i = stride; i < size; ++i)
    x[i] = static_cast<uint8_t>(x[i] + x[i - stride]);
}

void AverageScalar(uint8_t* x, const uint8_t* y, int32_t size, int32_t stride) {
  const int32_t head = std::min(stride, size);
  for (int32_t i = 0; i < head; ++i)
    x[i] = static_cast<uint8_t>(x[i] + (y[i] >> 1));
  for (int32_t i = stride; i < size; ++i)
    x[i] = static_cast<uint8_t>(x[i] + ((x[i - stride] + y[i]) >> 1));
}

void PaethScalar(uint8_t* x, const uint8_t* y, int32_t size, int32_t stride) {
  // Without left and upper-left the predictor is the byte above.
  const int32_t head = std::min(stride, size);
  for (int32_t i = 0; i < head; ++i)
    x[i] = static_cast<uint8_t>(x[i] + y[i]);
  for (int32_t i = stride; i < size; ++i)
    x[i] = static_cast<uint8_t>(x[i] + PaethNeighbour(x[i - stride], y[i], y[i - stride]));
}

#if defined(__SSE2__)

// One pixel of kBytes (at most 8) in the low lanes of a register; the rest stay zero, and
// only the pixel's own bytes are written back. The bytes go through general registers, not
// through memory, which would stall every pixel on a failed store-to-load forward.
template <int kBytes>
inline __m128i LoadPixel(const uint8_t* p) {
  uint64_t value;
  if constexpr (kBytes == 3) {
    uint16_t low;
    std::memcpy(&low, p, 2);
    value = low | (uint64_t{p[2]} << 16);
  } else if constexpr (kBytes == 6) {
    uint32_t low;
    uint16_t high;
    std::memcpy(&low, p, 4);
    std::memcpy(&high, p + 4, 2);
    value = low | (uint64_t{high} << 32);
  } else if constexpr (kBytes == 2) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    value = v;
  } else if constexpr (kBytes == 4) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    value = v;
  } else {
    static_assert(kBytes == 8);
    std::memcpy(&value, p, 8);
  }
  return _mm_cvtsi64_si128(static_cast<long long>(value));
}

template <int kBytes>
inline void StorePixel(uint8_t* p, __m128i v) {
  const uint64_t value = static_cast<uint64_t>(_mm_cvtsi128_si64(v));
  if constexpr (kBytes == 3) {
    const auto low = static_cast<uint16_t>(value);
    std::memcpy(p, &low, 2);
    p[2] = static_cast<uint8_t>(value >> 16);
  } else if constexpr (kBytes == 6) {
    const auto low = static_cast<uint32_t>(value);
    const auto high = static_cast<uint16_t>(value >> 32);
    std::memcpy(p, &low, 4);
    std::memcpy(p + 4, &high, 2);
  } else if constexpr (kBytes == 2) {
    const auto v = static_cast<uint16_t>(value);
    std::memcpy(p, &v, 2);
  } else if constexpr (kBytes == 4) {
    const auto v = static_cast<uint32_t>(value);
    std::memcpy(p, &v, 4);
  } else {
    std::memcpy(p, &value, 8);
  }
}

// The pixel loops take rows of whole pixels.
template <int kBytes>
void SubPixels(uint8_t* x, int32_t from, int32_t size, __m128i left) {
  for (int32_t i = from; i + kBytes <= size; i += kBytes) {
    left = _mm_add_epi8(LoadPixel<kBytes>(x + i), left);
    StorePixel<kBytes>(x + i, left);
  }
}

// Sub for 3- and 4-byte pixels, four pixels at a step: a running sum within the register in
// two shifted additions, plus the last pixel of the row so far, spread over all four. That
// carry grows by the step's own last pixel, which does not wait for the step's result, so
// the steps overlap.
template <int kBytes>
void SubVector(uint8_t* x, int32_t size) {
  if constexpr (kBytes == 3 || kBytes == 4) {
    constexpr int kStep = 4 * kBytes;
    const __m128i low_pixel = _mm_setr_epi8(-1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    __m128i carry = _mm_setzero_si128();
    int32_t i = 0;
    for (; i + 16 <= size; i += kStep) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + i));
      v = _mm_add_epi8(v, _mm_slli_si128(v, kBytes));
      v = _mm_add_epi8(v, _mm_slli_si128(v, 2 * kBytes));
      __m128i last;
      if constexpr (kBytes == 4) {
        last = _mm_shuffle_epi32(v, 0xFF);
      } else {
        last = _mm_and_si128(_mm_srli_si128(v, 9), low_pixel);
        last = _mm_or_si128(last, _mm_slli_si128(last, 3));
        last = _mm_or_si128(last, _mm_slli_si128(last, 6));
      }
      const __m128i result = _mm_add_epi8(v, carry);
      if constexpr (kBytes == 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(x + i), result);
      } else {
        // Twelve bytes: the other four are the next pixels, not yet read.
        _mm_storel_epi64(reinterpret_cast<__m128i*>(x + i), result);
        const int32_t tail = _mm_cvtsi128_si32(_mm_srli_si128(result, 8));
        std::memcpy(x + i + 8, &tail, 4);
      }
      carry = _mm_add_epi8(carry, last);
    }
    // The carry's low lanes hold the last pixel done.
    SubPixels<kBytes>(x, i, size, carry);
  } else {
    SubPixels<kBytes>(x, 0, size, _mm_setzero_si128());
  }
}

template <int kBytes>
void AverageVector(uint8_t* x, const uint8_t* y, int32_t size) {
  const __m128i one = _mm_set1_epi8(1);
  __m128i left = _mm_setzero_si128();
  for (int32_t i = 0; i + kBytes <= size; i += kBytes) {
    const __m128i above = LoadPixel<kBytes>(y + i);
    // avg_epu8 rounds up; the low bit of left ^ above says when it did.
    const __m128i mean =
        _mm_sub_epi8(_mm_avg_epu8(left, above), _mm_and_si128(_mm_xor_si128(left, above), one));
    left = _mm_add_epi8(LoadPixel<kBytes>(x + i), mean);
    StorePixel<kBytes>(x + i, left);
  }
}

inline __m128i Abs16(__m128i v) {
  return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

inline __m128i Select(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// Bytes widened to 16-bit lanes, so the distances cannot overflow. Left and upper-left
// start at zero, which makes the first pixel's predictor the byte above, as PNG asks.
template <int kBytes>
void PaethVector(uint8_t* x, const uint8_t* y, int32_t size) {
  const __m128i zero = _mm_setzero_si128();
  __m128i a = zero;  // left
  __m128i c = zero;  // upper-left
  for (int32_t i = 0; i + kBytes <= size; i += kBytes) {
    const __m128i b = _mm_unpacklo_epi8(LoadPixel<kBytes>(y + i), zero);
    const __m128i to_a = _mm_sub_epi16(b, c);
    const __m128i to_b = _mm_sub_epi16(a, c);
    const __m128i pa = Abs16(to_a);
    const __m128i pb = Abs16(to_b);
    const __m128i pc = Abs16(_mm_add_epi16(to_a, to_b));
    const __m128i smallest = _mm_min_epi16(_mm_min_epi16(pa, pb), pc);
    // Ties go to left, then above, then upper-left.
    __m128i predictor = Select(_mm_cmpeq_epi16(smallest, pb), b, c);
    predictor = Select(_mm_cmpeq_epi16(smallest, pa), a, predictor);
    const __m128i value = _mm_add_epi8(LoadPixel<kBytes>(x + i), _mm_packus_epi16(predictor, zero));
    StorePixel<kBytes>(x + i, value);
    a = _mm_unpacklo_epi8(value, zero);
    c = b;
  }
}

// Stride 1 (grey, palette and packed samples): a running sum over 16 bytes at a time, in
// four shifted additions, carrying the last byte into the next block.
void SubBytewise(uint8_t* x, int32_t size) {
  __m128i carry = _mm_setzero_si128();
  int32_t i = 0;
  for (; i + 16 <= size; i += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + i));
    v = _mm_add_epi8(v, _mm_slli_si128(v, 1));
    v = _mm_add_epi8(v, _mm_slli_si128(v, 2));
    v = _mm_add_epi8(v, _mm_slli_si128(v, 4));
    v = _mm_add_epi8(v, _mm_slli_si128(v, 8));
    v = _mm_add_epi8(v, carry);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(x + i), v);
    // Byte 15 into every lane.
    const __m128i high = _mm_unpackhi_epi8(v, v);
    carry = _mm_shuffle_epi32(_mm_shufflehi_epi16(high, 0xFF), 0xFF);
  }
  for (int32_t k = std::max(i, 1); k < size; ++k)
    x[k] = static_cast<uint8_t>(x[k] + x[k - 1]);
}

template <int kBytes>
void UnfilterPixels(uint8_t type, uint8_t* x, const uint8_t* y, int32_t size) {
  switch (type) {
    case kFilterSub:
      return SubVector<kBytes>(x, size);
    case kFilterAverage:
      return AverageVector<kBytes>(x, y, size);
    case kFilterPaeth:
      return PaethVector<kBytes>(x, y, size);
    default:
      break;
  }
}

#endif

}  // namespace

void UnfilterRow(uint8_t type, uint8_t* x, const uint8_t* y, int32_t size, int32_t stride) {
  if (type == kFilterNone || type > kFilterPaeth || size <= 0) return;
  if (type == kFilterUp) {
    for (int32_t i = 0; i < size; ++i)
      x[i] = static_cast<uint8_t>(x[i] + y[i]);
    return;
  }
#if defined(__SSE2__)
  // A row whose length is not a whole number of pixels is rare (never in a valid image):
  // the portable loops take it entire.
  if (size % stride == 0) {
    switch (stride) {
      case 1:
        if (type == kFilterSub) return SubBytewise(x, size);
        break;
      case 2:
        return UnfilterPixels<2>(type, x, y, size);
      case 3:
        return UnfilterPixels<3>(type, x, y, size);
      case 4:
        return UnfilterPixels<4>(type, x, y, size);
      case 6:
        return UnfilterPixels<6>(type, x, y, size);
      case 8:
        return UnfilterPixels<8>(type, x, y, size);
      default:
        break;
    }
  }
#endif
  switch (type) {
    case kFilterSub:
      SubScalar(x, size, stride);
      break;
    case kFilterAverage:
      AverageScalar(x, y, size, stride);
      break;
    case kFilterPaeth:
      PaethScalar(x, y, size, stride);
      break;
    default:
      break;
  }
}

}  // namespace png
