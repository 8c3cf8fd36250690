// Saving the image data: pack each scanline, choose and apply a row filter, compress the
// whole image as one zlib stream and cut it into IDAT chunks as the output buffer fills.
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/bytes.h"
#include "png/chunk_idat.h"
#include "png/chunk_ihdr.h"
#include "png/crc32.h"
#include "png/exceptions.h"
#include "png/idat_writer.h"
#include "png/messages.h"
#include "png/pack.h"
#include "png/png_object.h"

namespace png {

namespace {

constexpr uint8_t kIdatType[4] = {'I', 'D', 'A', 'T'};
constexpr uint8_t kAllFilters = 0x1F;

// The header's image can be encoded only when a packing exists for it and its buffer is laid
// out as that packing reads it; anything else is refused before an IDAT byte is written.
void CheckEncodable(const TChunkIHDR& header, const Packing& packing) {
  const platform::BITMAPINFOHEADER& info = header.BufferInfo.bmiHeader;
  const int bits = packing.buffer_bits_per_pixel;
  const bool has_alpha = header.ColourType == 4 || header.ColourType == 6;
  // Past this width a scanline of 64-bit pixels no longer fits a signed 32-bit size.
  constexpr uint32_t kMaxWidth = INT32_MAX / 8;
  const bool sound =
      packing.row != nullptr && header.Width > 0 && header.Height > 0 &&
      header.Width <= kMaxWidth && header.Height <= INT32_MAX && header.PixelBuffer != nullptr &&
      (!has_alpha || header.AlphaBuffer != nullptr) && header.BufferBitsPerPixel() == bits &&
      info.biWidth == static_cast<int32_t>(header.Width) &&
      info.biHeight == static_cast<int32_t>(header.Height) &&
      static_cast<int64_t>(header.RowStride) * 8 >= static_cast<int64_t>(header.Width) * bits;
  if (!sound) RaisePngError<EPngInvalidIHDR>(kInvalidIhdr);
}

// Bytes of the uncompressed stream: every scanline with its filter-type byte.
int64_t RawStreamSize(const TChunkIHDR& header, uint8_t interlacing) {
  const auto width = static_cast<int32_t>(header.Width);
  const auto height = static_cast<int64_t>(header.Height);
  if (interlacing != 1) {
    return height * (1 + ScanlineSize(width, header.ColourType, header.BitDepth));
  }
  int64_t total = 0;
  for (int32_t p = 0; p < 7; ++p) {
    const Adam7Pass& pass = kAdam7Passes[p];
    const int64_t row_size =
        ScanlineSize(Adam7PassWidth(p, width), header.ColourType, header.BitDepth);
    const int64_t rows =
        height > pass.row ? (height - pass.row + pass.row_step - 1) / pass.row_step : 0;
    if (row_size > 0) total += rows * (1 + row_size);
  }
  return total;
}

// The output buffer is the chunk size, but never more than the whole stream can fill (a huge
// limit then costs no memory and gives the same single chunk) nor more than a chunk may hold.
uint32_t OutputBufferSize(uint32_t limit, int64_t raw_size) {
  const uint64_t most_output = compressBound(static_cast<uLong>(raw_size)) + 65536;
  return static_cast<uint32_t>(
      std::min<uint64_t>({limit, most_output, static_cast<uint64_t>(INT32_MAX)}));
}

void EmitFullBuffer(TZlibStreamContext& context) {
  EmitIdatChunk(*context.FileStream, context.IoBuffer.data(),
                static_cast<int32_t>(context.IoBuffer.size()));
  context.ZStream.next_out = context.IoBuffer.data();
  context.ZStream.avail_out = static_cast<uInt>(context.IoBuffer.size());
}

// Each candidate treats the first s bytes apart, where left and upper-left are 0, so that
// the loop over the rest runs without a test per byte.
void SubCandidate(const uint8_t* raw, size_t n, size_t s, uint8_t* out) {
  const size_t head = std::min(s, n);
  std::memcpy(out, raw, head);
  for (size_t i = head; i < n; ++i)
    out[i] = static_cast<uint8_t>(raw[i] - raw[i - s]);
}

void UpCandidate(const uint8_t* raw, const uint8_t* prior, size_t n, uint8_t* out) {
  for (size_t i = 0; i < n; ++i)
    out[i] = static_cast<uint8_t>(raw[i] - prior[i]);
}

void AverageCandidate(const uint8_t* raw, const uint8_t* prior, size_t n, size_t s, uint8_t* out) {
  const size_t head = std::min(s, n);
  for (size_t i = 0; i < head; ++i)
    out[i] = static_cast<uint8_t>(raw[i] - (prior[i] >> 1));
  for (size_t i = head; i < n; ++i)
    out[i] = static_cast<uint8_t>(raw[i] - ((prior[i] + raw[i - s]) >> 1));
}

void PaethCandidate(const uint8_t* raw, const uint8_t* prior, size_t n, size_t s, uint8_t* out) {
  const size_t head = std::min(s, n);
  // With left and upper-left 0 the predictor gives the byte above.
  for (size_t i = 0; i < head; ++i)
    out[i] = static_cast<uint8_t>(raw[i] - prior[i]);
  for (size_t i = head; i < n; ++i)
    out[i] = static_cast<uint8_t>(raw[i] - PaethNeighbour(raw[i - s], prior[i], prior[i - s]));
}

// Positions from 2 on whose byte repeats one of the two bytes before it.
int64_t Score(const uint8_t* row, size_t n) {
  int64_t score = 0;
  for (size_t j = 2; j < n; ++j)
    score += (row[j] == row[j - 1]) | (row[j] == row[j - 2]);
  return score;
}

void EncodeRow(TChunkIDAT& chunk, TZlibStreamContext& context) {
  const uint8_t type = chunk.ChooseRowFilter();
  FeedDeflate(context, &type, 1);
  FeedDeflate(context, chunk.FilterRows[type].data(), chunk.RowSize);
}

// Closes the compressor and frees the row buffers when the save ends, also by an exception.
class SaveResources {
 public:
  SaveResources(TChunkIDAT& chunk, TZlibStreamContext& context)
      : chunk_(chunk), context_(context) {}
  ~SaveResources() {
    CloseDeflate(context_);
    std::vector<uint8_t>().swap(chunk_.RawRow);
    for (std::vector<uint8_t>& row : chunk_.FilterRows)
      std::vector<uint8_t>().swap(row);
  }
  SaveResources(const SaveResources&) = delete;
  SaveResources& operator=(const SaveResources&) = delete;

 private:
  TChunkIDAT& chunk_;
  TZlibStreamContext& context_;
};

}  // namespace

void EmitIdatChunk(platform::TStream& stream, const uint8_t* data, int32_t length) {
  uint8_t frame[8];
  platform::StoreBe32(frame, static_cast<uint32_t>(length));
  std::memcpy(frame + 4, kIdatType, 4);
  stream.WriteBuffer(frame, 8);
  stream.WriteBuffer(data, length);
  const uint32_t crc = Crc32Update(Crc32Update(0xFFFFFFFF, kIdatType, 4), data, length);
  platform::StoreBe32(frame, crc ^ 0xFFFFFFFF);
  stream.WriteBuffer(frame, 4);
}

void FeedDeflate(TZlibStreamContext& context, const uint8_t* data, int32_t length) {
  z_stream& z = context.ZStream;
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = length > 0 ? static_cast<uInt>(length) : 0;
  while (z.avail_in > 0) {
    const uInt input_before = z.avail_in;
    const uInt room_before = z.avail_out;
    const int result = deflate(&z, Z_NO_FLUSH);
    if (result < 0) RaiseZlibError(result);
    if (z.avail_in == input_before && z.avail_out == room_before) RaiseZlibError(Z_BUF_ERROR);
    if (z.avail_out == 0) EmitFullBuffer(context);
  }
}

void FinishDeflate(TZlibStreamContext& context) {
  z_stream& z = context.ZStream;
  z.next_in = nullptr;
  z.avail_in = 0;
  for (;;) {
    const uInt room_before = z.avail_out;
    const int result = deflate(&z, Z_FINISH);
    if (result < 0) RaiseZlibError(result);
    if (result == Z_OK && z.avail_out == room_before) RaiseZlibError(Z_BUF_ERROR);
    // Only a full buffer goes out before the end, so every chunk but the last is full.
    if (z.avail_out == 0) EmitFullBuffer(context);
    if (result == Z_STREAM_END) break;
  }
  const auto held = static_cast<int32_t>(context.IoBuffer.size() - z.avail_out);
  if (held > 0) EmitIdatChunk(*context.FileStream, context.IoBuffer.data(), held);
}

bool TChunkIDAT::WriteChunk(platform::TStream& stream) {
  TChunkIHDR& header = OwnerHeader();
  CheckEncodable(header, ChoosePacking(header.ColourType, header.BitDepth));
  HeaderChunk = &header;
  PixelWidth = static_cast<int32_t>(header.Width);
  PixelHeight = static_cast<int32_t>(header.Height);
  OwnerImage->GetRowGeometry(RowSize, FilterStride);
  GammaIsIdentity = IsIdentityTable(OwnerImage->EncodeGammaTable);

  TZlibStreamContext context;
  const SaveResources resources(*this, context);
  const auto row_size = static_cast<size_t>(RowSize);
  RawRow.assign(row_size, 0);
  FilterRows[kFilterNone].assign(row_size, 0);
  const uint8_t filter_set = OwnerImage->FilterSet();
  for (uint8_t type = kFilterSub; type <= kFilterPaeth; ++type) {
    if (filter_set & FilterBit(static_cast<FilterType>(type))) FilterRows[type].resize(row_size);
  }
  const uint8_t interlacing = OwnerImage->Interlacing();
  OpenDeflate(stream, OwnerImage->CompressionLevel(),
              OutputBufferSize(OwnerImage->IdatSizeLimit(), RawStreamSize(header, interlacing)),
              context);
  if (interlacing == 0) {
    EncodeRowsPlain(stream, context);
  } else if (interlacing == 1) {
    EncodeRowsAdam7(stream, context);
  }
  return true;
}

void TChunkIDAT::EncodeRowsPlain(platform::TStream&, TZlibStreamContext& context) {
  const TChunkIHDR& header = *HeaderChunk;
  const PackRowRoutine pack = ChoosePacking(header.ColourType, header.BitDepth).row;
  const uint8_t* alpha = header.AlphaBuffer.get();
  for (int64_t y = 0; y < PixelHeight; ++y) {
    const uint8_t* source = header.PixelBuffer + (PixelHeight - 1 - y) * header.RowStride;
    pack(*this, source, alpha != nullptr ? alpha + y * PixelWidth : nullptr, RawRow.data());
    EncodeRow(*this, context);
  }
  FinishDeflate(context);
}

void TChunkIDAT::EncodeRowsAdam7(platform::TStream&, TZlibStreamContext& context) {
  const TChunkIHDR& header = *HeaderChunk;
  const PackPassRoutine pack = ChoosePacking(header.ColourType, header.BitDepth).pass;
  const uint8_t* alpha = header.AlphaBuffer.get();
  for (uint8_t p = 0; p < 7; ++p) {
    const Adam7Pass& pass = kAdam7Passes[p];
    RowSize = ScanlineSize(Adam7PassWidth(p, PixelWidth), header.ColourType, header.BitDepth);
    // Every pass starts from a prior row of zeros.
    std::memset(FilterRows[kFilterNone].data(), 0, static_cast<size_t>(RowSize));
    if (RowSize == 0) continue;
    for (int64_t y = pass.row; y < PixelHeight; y += pass.row_step) {
      const uint8_t* source = header.PixelBuffer + (PixelHeight - 1 - y) * header.RowStride;
      pack(*this, p, source, alpha != nullptr ? alpha + y * PixelWidth : nullptr, RawRow.data());
      EncodeRow(*this, context);
    }
  }
  FinishDeflate(context);
}

uint8_t TChunkIDAT::ChooseRowFilter() {
  const uint8_t filter_set = OwnerImage->FilterSet() & kAllFilters;
  const auto n = static_cast<size_t>(RowSize);
  const size_t s = FilterStride;
  const uint8_t* raw = RawRow.data();
  const uint8_t* prior = FilterRows[kFilterNone].data();
  if (filter_set & FilterBit(kFilterSub)) SubCandidate(raw, n, s, FilterRows[kFilterSub].data());
  if (filter_set & FilterBit(kFilterUp)) UpCandidate(raw, prior, n, FilterRows[kFilterUp].data());
  if (filter_set & FilterBit(kFilterAverage)) {
    AverageCandidate(raw, prior, n, s, FilterRows[kFilterAverage].data());
  }
  if (filter_set & FilterBit(kFilterPaeth)) {
    PaethCandidate(raw, prior, n, s, FilterRows[kFilterPaeth].data());
  }
  // The raw row becomes the None candidate and the next row's prior row; the old prior row's
  // buffer takes the next packed row.
  std::swap(RawRow, FilterRows[kFilterNone]);

  if (filter_set == 0 || filter_set == FilterBit(kFilterNone)) return kFilterNone;
  if (std::has_single_bit(filter_set)) return static_cast<uint8_t>(std::countr_zero(filter_set));
  uint8_t best = kFilterNone;
  int64_t best_score = 0;
  for (uint8_t type = kFilterNone; type <= kFilterPaeth; ++type) {
    if ((filter_set & FilterBit(static_cast<FilterType>(type))) == 0) continue;
    const int64_t score = Score(FilterRows[type].data(), n);
    if (score > best_score) {
      best = type;
      best_score = score;
    }
  }
  return best;
}

}  // namespace png
