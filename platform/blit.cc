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

// Raster operations on palette indices mean nothing, so they run on colours held as 24-bit
// values (blue | green << 8 | red << 16).
const DibFormat& ColourWorkFormat() {
  static const DibFormat format = DirectFormat(24);
  return format;
}

// Translates pixel values of one format into another; the rule is chosen once. Monochrome
// values take the colours of the device contexts, as in Win32: a colour equal to the source
// context's background becomes 1, and 0 and 1 become the destination's text and background.
class ValueTranslator {
 public:
  ValueTranslator(const DibFormat& dest, COLORREF dest_text, COLORREF dest_background,
                  const DibFormat& source, COLORREF source_background)
      : dest_(dest), source_(source) {
    if (SameLayout(dest_, source_)) {
      kind_ = Kind::kSame;
    } else if (source_.monochrome) {
      kind_ = Kind::kFromMonochrome;
      from_mono_[0] = ColourToValue(dest_, dest_text);
      from_mono_[1] = ColourToValue(dest_, dest_background);
    } else if (dest_.monochrome) {
      kind_ = Kind::kToMonochrome;
      source_background_ = source_background & 0xFFFFFF;
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
    // Masks convert in a few shifts; only the nearest-entry search of a colour table is
    // worth remembering.
    if (!dest_.Indexed()) return ColourToValue(dest_, ValueToColour(source_, value));
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

void CombineValues(uint32_t rop, const uint32_t* existing, uint32_t mask, int count,
                   uint32_t* values) {
  switch (rop) {
    case SRCAND:
      for (int i = 0; i < count; ++i)
        values[i] &= existing[i];
      break;
    case SRCPAINT:
      for (int i = 0; i < count; ++i)
        values[i] |= existing[i];
      break;
    case NOTSRCCOPY:
      for (int i = 0; i < count; ++i)
        values[i] = ~values[i] & mask;
      break;
    default:
      break;
  }
}

// The source coordinate under the centre of destination pixel i of a span of dest_size pixels
// that shows source_size pixels.
int NearestSource(int start, int i, int source_size, int dest_size) {
  return start + static_cast<int>((2 * static_cast<int64_t>(i) + 1) * source_size /
                                  (2 * static_cast<int64_t>(dest_size)));
}

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
    const int sx = NearestSource(from.x, i, from.width, to.width);
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

  const DibFormat& out_format = out.Format();
  const bool by_colour = rop != SRCCOPY && out_format.Indexed() && !out_format.monochrome;
  // By colour: source and destination values become colours, and the results go back to the
  // nearest entries of the destination's table.
  const DibFormat& work_format = by_colour ? ColourWorkFormat() : out_format;
  ValueTranslator translator(work_format, dest.text, dest.background, in.Format(),
                             source.background);
  ValueTranslator to_work(work_format, dest.text, dest.background, out_format, dest.background);
  ValueTranslator from_work(out_format, dest.text, dest.background, work_format, dest.background);
  const uint32_t mask = ValueMask(work_format.bits);

  std::vector<uint32_t> source_row(static_cast<size_t>(span_end - span_begin));
  std::vector<uint32_t> translated(source_row.size());
  std::vector<uint32_t> values(static_cast<size_t>(count));
  std::vector<uint32_t> existing(static_cast<size_t>(count));
  int last_sy = -1;
  for (int j = 0; j < to.height; ++j) {
    const int y = to.y + j;
    const int sy = NearestSource(from.y, j, from.height, to.height);
    if (y < 0 || y >= out.Height() || sy < 0 || sy >= in.Height()) continue;
    if (sy != last_sy) {
      ReadPixelValues(in, sy, span_begin, span_end - span_begin, source_row.data());
      translator.Translate(source_row.data(), span_end - span_begin, translated.data());
      last_sy = sy;
    }
    for (int i = 0; i < count; ++i)
      values[i] = translated[source_x[i] - span_begin];
    if (rop != SRCCOPY) {
      ReadPixelValues(out, y, to.x + first, count, existing.data());
      if (by_colour) to_work.Translate(existing.data(), count, existing.data());
      CombineValues(rop, existing.data(), mask, count, values.data());
      if (by_colour) from_work.Translate(values.data(), count, values.data());
    }
    WritePixelValues(out, y, to.x + first, count, values.data());
  }
  return true;
}

}  // namespace platform
