#include "platform/blit.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "platform/gdi_types.h"

namespace platform {

namespace {

uint32_t ValueMask(int bits) {
  return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
}

// Translates source pixel values into destination pixel values; the rule is chosen once.
class ValueTranslator {
 public:
  ValueTranslator(const BlitSurface& dest, const BlitSurface& source)
      : dest_(dest.dib->Format()), source_(source.dib->Format()) {
    if (SameLayout(dest_, source_)) {
      kind_ = Kind::kSame;
    } else if (source_.monochrome) {
      kind_ = Kind::kFromMonochrome;
      from_mono_[0] = ColourToValue(dest_, dest.text);
      from_mono_[1] = ColourToValue(dest_, dest.background);
    } else if (dest_.monochrome) {
      kind_ = Kind::kToMonochrome;
      source_background_ = source.background & 0xFFFFFF;
    } else {
      kind_ = Kind::kColour;
    }
  }

  void Translate(const uint32_t* in, int count, uint32_t* out) {
    switch (kind_) {
      case Kind::kSame:
        std::memcpy(out, in, sizeof(uint32_t) * static_cast<size_t>(count));
        break;
      case Kind::kFromMonochrome:
        for (int i = 0; i < count; ++i)
          out[i] = from_mono_[in[i] & 1];
        break;
      case Kind::kToMonochrome:
        for (int i = 0; i < count; ++i) {
          out[i] = ValueToColour(source_, in[i]) == source_background_ ? 1 : 0;
        }
        break;
      case Kind::kColour:
        for (int i = 0; i < count; ++i)
          out[i] = Convert(in[i]);
        break;
    }
  }

 private:
  enum class Kind { kSame, kFromMonochrome, kToMonochrome, kColour };

  uint32_t Convert(uint32_t value) {
    const auto found = cache_.find(value);
    if (found != cache_.end()) return found->second;
    const uint32_t converted = ColourToValue(dest_, ValueToColour(source_, value));
    cache_.emplace(value, converted);
    return converted;
  }

  const DibFormat& dest_;
  const DibFormat& source_;
  Kind kind_;
  uint32_t from_mono_[2] = {0, 0};
  COLORREF source_background_ = 0;
  std::unordered_map<uint32_t, uint32_t> cache_;
};

// The common case of a crop: same layout, no scaling, plain copy of whole bytes.
bool TryCopyRows(Dib& dest, const BlitRect& to, const Dib& source, const BlitRect& from) {
  const int bits = dest.Format().bits;
  if (bits < 8 || !SameLayout(dest.Format(), source.Format())) return false;
  if (to.width != from.width || to.height != from.height) return false;
  if (to.x < 0 || to.y < 0 || from.x < 0 || from.y < 0) return false;
  if (to.x + to.width > dest.Width() || to.y + to.height > dest.Height()) return false;
  if (from.x + from.width > source.Width() || from.y + from.height > source.Height()) {
    return false;
  }
  const int64_t bytes_per_pixel = bits / 8;
  const size_t row_bytes = static_cast<size_t>(bytes_per_pixel * to.width);
  for (int j = 0; j < to.height; ++j) {
    std::memmove(dest.Row(to.y + j) + bytes_per_pixel * to.x,
                 source.Row(from.y + j) + bytes_per_pixel * from.x, row_bytes);
  }
  return true;
}

}  // namespace

bool StretchPixels(const BlitSurface& dest, const BlitRect& to, const BlitSurface& source,
                   const BlitRect& from, uint32_t rop) {
  if (rop != SRCCOPY && rop != SRCAND && rop != SRCPAINT && rop != NOTSRCCOPY) return false;
  if (dest.dib == nullptr || source.dib == nullptr) return true;
  if (to.width <= 0 || to.height <= 0 || from.width <= 0 || from.height <= 0) return true;
  Dib& out = *dest.dib;
  const Dib& in = *source.dib;
  if (rop == SRCCOPY && TryCopyRows(out, to, in, from)) return true;

  // Destination columns inside the bitmap whose source column lies inside the source.
  std::vector<int> source_x;
  int first = -1;
  for (int i = 0; i < to.width; ++i) {
    const int x = to.x + i;
    const int sx = from.x + static_cast<int>(static_cast<int64_t>(i) * from.width / to.width);
    if (x < 0 || x >= out.Width() || sx < 0 || sx >= in.Width()) {
      if (first >= 0) break;
      continue;
    }
    if (first < 0) first = i;
    source_x.push_back(sx);
  }
  if (source_x.empty()) return true;
  const int count = static_cast<int>(source_x.size());
  const int span_begin = *std::min_element(source_x.begin(), source_x.end());
  const int span_end = *std::max_element(source_x.begin(), source_x.end()) + 1;

  ValueTranslator translator(dest, source);
  const uint32_t mask = ValueMask(out.Format().bits);
  std::vector<uint32_t> source_row(static_cast<size_t>(span_end - span_begin));
  std::vector<uint32_t> translated(source_row.size());
  std::vector<uint32_t> values(static_cast<size_t>(count));
  std::vector<uint32_t> existing(static_cast<size_t>(count));
  int last_sy = -1;
  for (int j = 0; j < to.height; ++j) {
    const int y = to.y + j;
    const int sy = from.y + static_cast<int>(static_cast<int64_t>(j) * from.height / to.height);
    if (y < 0 || y >= out.Height() || sy < 0 || sy >= in.Height()) continue;
    if (sy != last_sy) {
      ReadPixelValues(in, sy, span_begin, span_end - span_begin, source_row.data());
      translator.Translate(source_row.data(), span_end - span_begin, translated.data());
      last_sy = sy;
    }
    for (int i = 0; i < count; ++i)
      values[i] = translated[source_x[i] - span_begin];
    if (rop == SRCAND || rop == SRCPAINT) {
      ReadPixelValues(out, y, to.x + first, count, existing.data());
      if (rop == SRCAND) {
        for (int i = 0; i < count; ++i)
          values[i] &= existing[i];
      } else {
        for (int i = 0; i < count; ++i)
          values[i] |= existing[i];
      }
    } else if (rop == NOTSRCCOPY) {
      for (int i = 0; i < count; ++i)
        values[i] = ~values[i] & mask;
    }
    WritePixelValues(out, y, to.x + first, count, values.data());
  }
  return true;
}

}  // namespace platform
