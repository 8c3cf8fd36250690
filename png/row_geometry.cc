// Scanline sizes and the filters' pixel stride, which the decoder and the encoder share.
#include "png/chunk_idat.h"
#include "png/png_object.h"

namespace png {

int32_t ScanlineSize(int32_t pixels, uint8_t colour_type, uint8_t bit_depth) {
  // In 64 bits: 65535 pixels of 64 bits overflow nothing, but odd depths might.
  const int64_t n = pixels;
  const int64_t depth = bit_depth;
  switch (colour_type) {
    case 0:
    case 3:
      return static_cast<int32_t>((n * depth + 7) / 8);
    case 2:
      return static_cast<int32_t>(n * depth * 3 / 8);
    case 4:
      return static_cast<int32_t>(n * depth * 2 / 8);
    case 6:
      return static_cast<int32_t>(n * depth * 4 / 8);
    default:
      return 0;
  }
}

void TPNGObject::GetRowGeometry(int32_t& row_size, uint32_t& filter_stride) const {
  row_size = 0;
  filter_stride = 0;
  if (!HasImageHeader()) return;
  const TChunkIHDR& header = ImageHeader();
  row_size = ScanlineSize(static_cast<int32_t>(header.Width), header.ColourType, header.BitDepth);
  switch (header.ColourType) {
    case 0:
      filter_stride = header.BitDepth == 16 ? 2 : 1;
      break;
    case 3:
      filter_stride = 1;
      break;
    case 2:
      filter_stride = header.BitDepth * 3u / 8;
      break;
    case 4:
      filter_stride = header.BitDepth * 2u / 8;
      break;
    case 6:
      filter_stride = header.BitDepth * 4u / 8;
      break;
    default:
      break;
  }
}

}  // namespace png
