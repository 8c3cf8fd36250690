#include "trim/border.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/gdi.h"

namespace trim {

namespace {

using platform::COLORREF;
using platform::DibFormat;
using platform::TBitmap;

// Each key type gives, for pixel x of a row, a value that two pixels share exactly when
// their colours (0x00BBGGRR) are equal. One is chosen per bitmap; the scans are
// instantiated for each, so the inner loops read raw memory with no test of the format.

// 1, 4 and 8 bits per pixel: the colour-table entry, so that two indices of one colour
// are equal. Indices past the table show black, as on the canvas.
template <int kBits>
class IndexedKeys {
 public:
  explicit IndexedKeys(const std::array<COLORREF, 256>& colours) : colours_(colours) {
    // Raw values compare like colours when no two indices show one colour.
    std::array<COLORREF, 1 << kBits> seen;
    std::copy_n(colours_.begin(), seen.size(), seen.begin());
    std::sort(seen.begin(), seen.end());
    raw_bits_ = std::adjacent_find(seen.begin(), seen.end()) == seen.end() ? kBits : 0;
  }

  int RawBits() const { return raw_bits_; }

  COLORREF operator()(const uint8_t* row, int64_t x) const {
    if constexpr (kBits == 1) {
      return colours_[(row[x >> 3] >> (7 - (x & 7))) & 1];
    } else if constexpr (kBits == 4) {
      return colours_[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
    } else {
      return colours_[row[x]];
    }
  }

 private:
  std::array<COLORREF, 256> colours_;
  int raw_bits_ = 0;
};

// 24 bits per pixel: blue, green, red; the three bytes are the colour.
struct Bgr24Keys {
  int RawBits() const { return 24; }
  uint32_t operator()(const uint8_t* row, int64_t x) const {
    const uint8_t* p = row + 3 * x;
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16);
  }
};

// Where one colour channel's significant bits sit in a masked pixel: the canvas widens a
// channel of fewer than 8 bits without loss and keeps the top 8 bits of a wider one.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
};

Channel ChannelOf(uint32_t mask) {
  if (mask == 0) return Channel{};
  const int width = std::popcount(mask);
  return Channel{mask, std::countr_zero(mask) + (width > 8 ? width - 8 : 0)};
}

bool Contiguous(uint32_t mask) {
  if (mask == 0) return true;
  const uint32_t run = mask >> std::countr_zero(mask);
  return (run & (run + 1)) == 0;
}

template <int kBytes>
uint32_t LoadPixel(const uint8_t* row, int64_t x) {
  if constexpr (kBytes == 2) {
    uint16_t value;
    std::memcpy(&value, row + 2 * x, 2);
    return value;
  } else {
    uint32_t value;
    std::memcpy(&value, row + 4 * x, 4);
    return value;
  }
}

// 16 and 32 bits per pixel whose channels are each one run of at most 8 bits: the colour
// bits themselves, since the canvas widens such channels without loss. Alpha and unused
// bits (bit 15 of 5-5-5, the fourth byte of 8-8-8) fall outside the mask.
template <int kBytes>
class ColourBitsKeys {
 public:
  explicit ColourBitsKeys(const DibFormat& layout)
      : mask_(layout.red_mask | layout.green_mask | layout.blue_mask) {}

  // Raw values compare like colours only when every bit is a colour bit (5-6-5).
  int RawBits() const { return mask_ == (kBytes == 2 ? 0xFFFFu : 0xFFFFFFFFu) ? 8 * kBytes : 0; }

  uint32_t operator()(const uint8_t* row, int64_t x) const {
    return LoadPixel<kBytes>(row, x) & mask_;
  }

 private:
  uint32_t mask_;
};

// Channels of one run of bits, some wider than 8: the canvas keeps the top 8 bits of each,
// so those are put side by side.
template <int kBytes>
class MaskedKeys {
 public:
  explicit MaskedKeys(const DibFormat& layout)
      : red_(ChannelOf(layout.red_mask)),
        green_(ChannelOf(layout.green_mask)),
        blue_(ChannelOf(layout.blue_mask)) {}

  int RawBits() const { return 0; }
  uint32_t operator()(const uint8_t* row, int64_t x) const {
    const uint32_t value = LoadPixel<kBytes>(row, x);
    return ((value & red_.mask) >> red_.shift) | (((value & green_.mask) >> green_.shift) << 8) |
           (((value & blue_.mask) >> blue_.shift) << 16);
  }

 private:
  Channel red_;
  Channel green_;
  Channel blue_;
};

// Masks with gaps come from no file (the BMP reader refuses them); such in-memory bitmaps
// take the platform's own conversion, pixel by pixel.
template <int kBytes>
class ConvertedKeys {
 public:
  explicit ConvertedKeys(const DibFormat& layout) : layout_(layout) {}

  int RawBits() const { return 0; }

  COLORREF operator()(const uint8_t* row, int64_t x) const {
    return platform::ValueToColour(layout_, LoadPixel<kBytes>(row, x));
  }

 private:
  const DibFormat& layout_;
};

// The colours of an indexed bitmap's pixel values. A monochrome device bitmap takes its
// two colours from its canvas, as the canvas's pixel reads do.
std::array<COLORREF, 256> ColoursOf(TBitmap& bitmap) {
  std::array<COLORREF, 256> colours{};
  const DibFormat& layout = bitmap.Layout();
  if (layout.monochrome) {
    const platform::HDC dc = bitmap.Canvas().Handle();
    colours[0] = platform::GetTextColor(dc);
    colours[1] = platform::GetBkColor(dc);
    return colours;
  }
  const size_t count = std::min(layout.colours.size(), colours.size());
  for (size_t i = 0; i < count; ++i) {
    const platform::RGBQUAD& entry = layout.colours[i];
    colours[i] = platform::RGB(entry.rgbRed, entry.rgbGreen, entry.rgbBlue);
  }
  return colours;
}

// Calls visit with the key type of the bitmap's layout, chosen once.
template <typename Visit>
auto VisitKeys(TBitmap& bitmap, Visit visit) {
  const DibFormat& layout = bitmap.Layout();
  const bool contiguous =
      Contiguous(layout.red_mask) && Contiguous(layout.green_mask) && Contiguous(layout.blue_mask);
  const bool narrow = std::popcount(layout.red_mask) <= 8 &&
                      std::popcount(layout.green_mask) <= 8 && std::popcount(layout.blue_mask) <= 8;
  switch (layout.bits) {
    case 1:
      return visit(IndexedKeys<1>(ColoursOf(bitmap)));
    case 4:
      return visit(IndexedKeys<4>(ColoursOf(bitmap)));
    case 8:
      return visit(IndexedKeys<8>(ColoursOf(bitmap)));
    case 16:
      if (contiguous && narrow) return visit(ColourBitsKeys<2>(layout));
      if (contiguous) return visit(MaskedKeys<2>(layout));
      return visit(ConvertedKeys<2>(layout));
    case 24:
      return visit(Bgr24Keys{});
    default:
      if (contiguous && narrow) return visit(ColourBitsKeys<4>(layout));
      if (contiguous) return visit(MaskedKeys<4>(layout));
      return visit(ConvertedKeys<4>(layout));
  }
}

// The rule for one line of length pixels, key_at(i) giving pixel i's key. Besides the
// stop once a run reaches the threshold, the test also ends as soon as the pixels left
// cannot make one long enough; the answer is the same, with fewer reads.
template <typename KeyAt>
bool LineHasContent(int64_t length, const KeyAt& key_at) {
  const int64_t count = RunThreshold(length);
  if (length < 2) return false;
  int64_t run = 1;
  auto previous = key_at(0);
  for (int64_t i = 0; i + 1 < length; ++i) {
    if (run >= count) return false;
    if (run + (length - 1 - i) < count) return true;
    const auto next = key_at(i + 1);
    run = next == previous ? run + 1 : 1;
    previous = next;
  }
  return run < count;
}

// Layouts whose raw values compare exactly like their colours are scanned on the raw bytes,
// many pixels per step, with the same answers as the pixel-by-pixel rule.

int PixelAt(const uint8_t* row, int64_t x, int bits) {
  if (bits == 1) return (row[x >> 3] >> (7 - (x & 7))) & 1;
  return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
}

// The first byte index in [begin, end) at which a[i] != b[i], or end. Border lines are
// mostly one colour throughout: memcmp's widest loop settles those, and the search below
// only runs to place a difference.
int64_t FirstMismatch(const uint8_t* a, const uint8_t* b, int64_t begin, int64_t end) {
  if (end > begin && std::memcmp(a + begin, b + begin, static_cast<size_t>(end - begin)) == 0) {
    return end;
  }
  int64_t i = begin;
#if defined(__SSE2__)
  for (; i + 16 <= end; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    const int differ = _mm_movemask_epi8(_mm_cmpeq_epi8(x, y)) ^ 0xFFFF;
    if (differ != 0) return i + std::countr_zero(static_cast<unsigned>(differ));
  }
#else
  for (; i + 8 <= end; i += 8) {
    uint64_t x;
    uint64_t y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) break;
  }
#endif
  for (; i < end; ++i)
    if (a[i] != b[i]) return i;
  return end;
}

// The first byte index in [begin, end) that is not value, or end.
int64_t FirstOtherByte(const uint8_t* row, uint8_t value, int64_t begin, int64_t end) {
  // All of them value: the first is, and each equals the next.
  if (end > begin && row[begin] == value &&
      std::memcmp(row + begin, row + begin + 1, static_cast<size_t>(end - begin - 1)) == 0) {
    return end;
  }
  int64_t i = begin;
#if defined(__SSE2__)
  const __m128i pattern = _mm_set1_epi8(static_cast<char>(value));
  for (; i + 16 <= end; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    const int differ = _mm_movemask_epi8(_mm_cmpeq_epi8(x, pattern)) ^ 0xFFFF;
    if (differ != 0) return i + std::countr_zero(static_cast<unsigned>(differ));
  }
#endif
  for (; i < end; ++i)
    if (row[i] != value) return i;
  return end;
}

// The first pixel in (start, limit] whose raw value differs from pixel start's, or
// limit + 1 when there is none.
int64_t NextDifferentPixel(const uint8_t* row, int64_t start, int64_t limit, int bits) {
  if (bits >= 8) {
    // Pixel i against pixel i + 1, byte by byte: the row compared with itself one pixel on.
    const int64_t bytes = bits / 8;
    const int64_t at = FirstMismatch(row, row + bytes, start * bytes, limit * bytes);
    return at / bytes + 1;
  }
  const int value = PixelAt(row, start, bits);
  const int64_t per_byte = 8 / bits;
  int64_t x = start + 1;
  for (; x <= limit && x % per_byte != 0; ++x)
    if (PixelAt(row, x, bits) != value) return x;
  // Whole bytes of the pixel repeated, then the pixels of the byte that breaks the run.
  const auto repeated = static_cast<uint8_t>(bits == 1 ? (value ? 0xFF : 0x00) : value * 0x11);
  const int64_t whole_end = (limit + 1) / per_byte;
  if (x <= limit && x / per_byte < whole_end) {
    x = FirstOtherByte(row, repeated, x / per_byte, whole_end) * per_byte;
  }
  for (; x <= limit; ++x)
    if (PixelAt(row, x, bits) != value) return x;
  return limit + 1;
}

// LineHasContent for a row of raw pixels: runs are measured between pixels that differ,
// and a run is followed no further than the threshold.
bool RawRowHasContent(const uint8_t* row, int64_t width, int bits) {
  if (width < 2) return false;
  const int64_t count = RunThreshold(width);
  int64_t start = 0;
  for (;;) {
    const int64_t limit = std::min(width - 1, start + count - 1);
    const int64_t next = NextDifferentPixel(row, start, limit, bits);
    // A run reaching the threshold makes the row border; one ending the row short of it
    // is the last.
    if (next > limit) return limit - start + 1 < count;
    start = next;
    if (width - start < count) return true;
  }
}

// The bitmap's pixel rows: row y starts at first + y * step (step is negative for rows
// kept bottom-up).
struct Rows {
  const uint8_t* first = nullptr;
  std::ptrdiff_t step = 0;
};

// Read-only rows: a bitmap that shares its pixels after an Assign is scanned without first
// being given a copy of its own.
Rows RowsOf(const TBitmap& bitmap) {
  Rows rows;
  rows.first = bitmap.ScanLine(0);
  if (rows.first != nullptr && bitmap.Height() > 1) rows.step = bitmap.ScanLine(1) - rows.first;
  return rows;
}

template <typename Keys>
bool RowOfKeysHasContent(const Keys& keys, const Rows& rows, int y, int width) {
  const uint8_t* row = rows.first + y * rows.step;
  if (const int bits = keys.RawBits(); bits != 0) return RawRowHasContent(row, width, bits);
  return LineHasContent(width, [&](int64_t x) { return keys(row, x); });
}

// Columns are judged a block at a time, row by row over the block's bytes, instead of one
// column at a time down the whole image, which touches a new page on every row. After each
// strip of rows the decided columns are taken out of the block.
constexpr int kColumnBlock = 64;
constexpr int64_t kStripRows = 32;

// Decides columns x0 .. x0 + n - 1 (n <= kColumnBlock), each as LineHasContent would: a
// column is border when its longest run reaches the threshold. The block stops at the end
// of the first strip after which every column is decided.
// The bytes a block of columns occupies in every row, with the bits of its first and last
// byte that belong to the block (packed pixels share bytes with their neighbours).
struct ByteSpan {
  int64_t begin;
  int64_t size;
  uint8_t first_mask;
  uint8_t last_mask;
};

ByteSpan SpanOf(int x0, int n, int bits) {
  const int64_t first_bit = int64_t{x0} * bits;
  const int64_t end_bit = (int64_t{x0} + n) * bits;
  ByteSpan span{first_bit / 8, (end_bit + 7) / 8 - first_bit / 8, 0xFF, 0xFF};
  span.first_mask = static_cast<uint8_t>(0xFF >> (first_bit % 8));
  if (end_bit % 8 != 0) span.last_mask = static_cast<uint8_t>(0xFF << (8 - end_bit % 8));
  if (span.size == 1) span.first_mask = span.last_mask = span.first_mask & span.last_mask;
  return span;
}

// Whether two rows hold the same pixels in the span. Short spans (packed pixels) compare
// inline, long ones through memcmp's wide loop.
inline bool SameInSpan(const uint8_t* a, const uint8_t* b, const ByteSpan& span) {
  a += span.begin;
  b += span.begin;
  const int64_t last = span.size - 1;
  if (((a[0] ^ b[0]) & span.first_mask) != 0 || ((a[last] ^ b[last]) & span.last_mask) != 0) {
    return false;
  }
  if (last > 32) return std::memcmp(a + 1, b + 1, static_cast<size_t>(last - 1)) == 0;
  int64_t i = 1;
  for (; i + 8 <= last; i += 8) {
    uint64_t x;
    uint64_t y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) return false;
  }
  for (; i < last; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

// Decides the columns of a block in scan order (from its right end when from_right) up to
// its first content column: content[j] is the rule's answer for each of them, as
// LineHasContent would give it; flags past that column mean nothing, since a scan stops
// there. Only the columns before it are followed down the strips.
template <typename Keys>
void DecideColumns(const Keys& keys, const Rows& rows, int x0, int n, int height, int bits,
                   bool from_right, bool* content) {
  using Key = decltype(keys(rows.first, 0));
  const int64_t count = RunThreshold(height);
  if (height < 2) {
    std::fill(content, content + n, false);
    return;
  }
  std::array<Key, kColumnBlock> previous;
  std::array<int64_t, kColumnBlock> run;
  std::array<int64_t, kColumnBlock> longest;
  for (int j = 0; j < n; ++j) {
    previous[j] = keys(rows.first, x0 + j);
    run[j] = 1;
    longest[j] = 1;
  }
  // The columns still followed: [lo, hi) of the block.
  int lo = 0;
  int hi = n;
  // Rows that repeat the row above over the columns followed lengthen every run by one
  // (equal bytes are equal colours), without a pixel read: they are counted, and added to
  // the runs only when a pixel row or a decision needs them.
  int64_t repeats = 0;
  auto add_repeats = [&] {
    if (repeats == 0) return;
    for (int j = lo; j < hi; ++j) {
      run[j] += repeats;
      longest[j] = std::max(longest[j], run[j]);
    }
    repeats = 0;
  };
  // The shortest run of a followed column not yet border, as of the last decisions.
  int64_t shortest_open = 1;
  for (int64_t begin = 1; begin < height && lo < hi; begin += kStripRows) {
    const int64_t end = std::min<int64_t>(height, begin + kStripRows);
    const ByteSpan span = SpanOf(x0 + lo, hi - lo, bits);
    bool pixels_read = false;
    const uint8_t* row = rows.first + begin * rows.step;
    for (int64_t y = begin; y < end; ++y, row += rows.step) {
      if (SameInSpan(row, row - rows.step, span)) {
        ++repeats;
        continue;
      }
      add_repeats();
      pixels_read = true;
      for (int j = lo; j < hi; ++j) {
        const Key next = keys(row, x0 + j);
        run[j] = next == previous[j] ? run[j] + 1 : 1;
        longest[j] = std::max(longest[j], run[j]);
        previous[j] = next;
      }
    }
    // After repeated rows alone, runs grew as the rows left shrank: no column turned
    // content, and nothing changes until the shortest open run reaches the threshold.
    if (!pixels_read && repeats < count - shortest_open) continue;
    add_repeats();
    // A column is decided border once a run is long enough, content once the rows left
    // cannot make one. The first content column in scan order ends what is followed;
    // decided border columns at the near end leave it.
    const int64_t left = height - end;
    auto border = [&](int j) { return longest[j] >= count; };
    auto decided_content = [&](int j) { return !border(j) && run[j] + left < count; };
    if (from_right) {
      for (int j = hi - 1; j >= lo; --j) {
        if (decided_content(j)) {
          lo = j + 1;
          break;
        }
      }
      while (hi > lo && border(hi - 1))
        --hi;
    } else {
      for (int j = lo; j < hi; ++j) {
        if (decided_content(j)) {
          hi = j;
          break;
        }
      }
      while (lo < hi && border(lo))
        ++lo;
    }
    shortest_open = count;
    for (int j = lo; j < hi; ++j)
      if (!border(j)) shortest_open = std::min(shortest_open, run[j]);
  }
  add_repeats();
  for (int j = 0; j < n; ++j)
    content[j] = longest[j] < count;
}

// The first content column from the left (or from the right), or -1 when there is none.
template <typename Keys>
int FirstContentColumn(const Keys& keys, const Rows& rows, int width, int height, int bits,
                       bool from_right) {
  std::array<bool, kColumnBlock> content;
  for (int done = 0; done < width; done += kColumnBlock) {
    const int n = std::min(kColumnBlock, width - done);
    const int x0 = from_right ? width - done - n : done;
    DecideColumns(keys, rows, x0, n, height, bits, from_right, content.data());
    for (int i = 0; i < n; ++i) {
      const int j = from_right ? n - 1 - i : i;
      if (content[j]) return x0 + j;
    }
  }
  return -1;
}

template <typename Keys>
ContentBox ScanBox(const Keys& keys, const Rows& rows, int width, int height, int bits) {
  ContentBox box{0, 0, width - 1, height - 1};
  bool content_row = false;
  for (int y = 0; y < height && !content_row; ++y) {
    box.top = y;
    content_row = RowOfKeysHasContent(keys, rows, y, width);
  }
  // Without a content row from the top there is none from the bottom either: that scan
  // would read every row again to end on row 0.
  box.bottom = 0;
  for (int y = height - 1; y >= 0 && content_row; --y) {
    box.bottom = y;
    if (RowOfKeysHasContent(keys, rows, y, width)) break;
  }
  // Without a content column the scans end on the far side: left at W - 1, right at 0.
  const int left = FirstContentColumn(keys, rows, width, height, bits, false);
  box.left = left >= 0 ? left : std::max(width - 1, 0);
  const int right = left >= 0 ? FirstContentColumn(keys, rows, width, height, bits, true) : -1;
  box.right = right >= 0 ? right : std::min(width - 1, 0);
  return box;
}

}  // namespace

int64_t RunThreshold(int64_t n) {
  return 9 * n / 10;
}

bool RowHasContent(TBitmap& bitmap, int y) {
  // Short lines are border whatever their pixels; lines outside the bitmap read as one
  // invalid colour throughout, which is border too.
  if (bitmap.Width() < 2 || y < 0 || y >= bitmap.Height()) return false;
  const Rows rows = RowsOf(bitmap);
  if (rows.first == nullptr) return false;
  return VisitKeys(
      bitmap, [&](const auto& keys) { return RowOfKeysHasContent(keys, rows, y, bitmap.Width()); });
}

bool ColumnHasContent(TBitmap& bitmap, int x) {
  if (bitmap.Height() < 2 || x < 0 || x >= bitmap.Width()) return false;
  const Rows rows = RowsOf(bitmap);
  if (rows.first == nullptr) return false;
  return VisitKeys(bitmap, [&](const auto& keys) {
    bool content = false;
    DecideColumns(keys, rows, x, 1, bitmap.Height(), bitmap.Layout().bits, false, &content);
    return content;
  });
}

ContentBox FindContentBox(TBitmap& bitmap) {
  const int width = bitmap.Width();
  const int height = bitmap.Height();
  const Rows rows = RowsOf(bitmap);
  if (rows.first == nullptr) {
    // No pixels to read (an empty bitmap): every line is border.
    return ContentBox{width > 0 ? width - 1 : 0, height > 0 ? height - 1 : 0, width > 0 ? 0 : -1,
                      height > 0 ? 0 : -1};
  }
  const int bits = bitmap.Layout().bits;
  return VisitKeys(bitmap,
                   [&](const auto& keys) { return ScanBox(keys, rows, width, height, bits); });
}

void CropToBox(TBitmap& source, TBitmap& dest, const ContentBox& box) {
  // The crop in place ends in the state the copy below leaves: both bitmaps hold the box,
  // sharing it, in the source's format, table and resolution, and neither is transparent.
  const platform::TRect rect = platform::Rect(box.left, box.top, box.right + 1, box.bottom + 1);
  if (source.CropInPlace(rect)) {
    source.SetTransparent(false);
    source.SetTransparentColor(platform::clDefault);
    dest.Assign(source);
    return;
  }
  dest.SetPixelFormat(source.PixelFormat());
  // The format's default table would map every colour to its nearest entry; the source's
  // own table keeps every pixel's colour.
  dest.SetColourTable(source.ColourTable());
  dest.SetResolution(source.Resolution());
  dest.SetTransparent(false);
  dest.SetWidth(box.right - box.left + 1);
  dest.SetHeight(box.bottom - box.top + 1);
  dest.Canvas().CopyRect(platform::Rect(0, 0, dest.Width(), dest.Height()), source.Canvas(), rect);
  source.Assign(dest);
}

}  // namespace trim
