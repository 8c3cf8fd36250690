#include "png/swizzle.h"

#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace png {

namespace {

#if defined(__x86_64__)
// Asked once per process.
bool HasSsse3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

// The 16-byte stores run 4 bytes past the step, which the next step writes again, so the
// loops stop while a whole register still fits in the destination.
__attribute__((target("ssse3"))) int32_t SwapRedBlue24Ssse3(const uint8_t* s, uint8_t* d,
                                                            int32_t count) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15);
  int32_t k = 0;
  for (; 3 * int64_t{k} + 16 <= 3 * int64_t{count}; k += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * k), _mm_shuffle_epi8(v, order));
  }
  return k;
}

__attribute__((target("ssse3"))) int32_t SplitRgbAlpha32Ssse3(const uint8_t* s, uint8_t* d,
                                                              uint8_t* a, int32_t count) {
  const __m128i colour = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  const __m128i alpha = _mm_setr_epi8(3, 7, 11, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  int32_t k = 0;
  for (; 3 * int64_t{k} + 16 <= 3 * int64_t{count}; k += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * k), _mm_shuffle_epi8(v, colour));
    const int32_t four = _mm_cvtsi128_si32(_mm_shuffle_epi8(v, alpha));
    std::memcpy(a + k, &four, 4);
  }
  return k;
}
#endif

}  // namespace

int32_t SwapRedBlue24(const uint8_t* source, uint8_t* destination, int32_t count) {
#if defined(__x86_64__)
  if (HasSsse3()) return SwapRedBlue24Ssse3(source, destination, count);
#endif
  (void)source;
  (void)destination;
  (void)count;
  return 0;
}

int32_t SplitRgbAlpha32(const uint8_t* source, uint8_t* colour, uint8_t* alpha, int32_t count) {
#if defined(__x86_64__)
  if (HasSsse3()) return SplitRgbAlpha32Ssse3(source, colour, alpha, count);
#endif
  (void)source;
  (void)colour;
  (void)alpha;
  (void)count;
  return 0;
}

}  // namespace png
