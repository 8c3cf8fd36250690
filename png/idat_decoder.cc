// The image-data load: one zlib stream inflated across consecutive IDAT chunks, row filters
// undone in place, and each scanline unpacked into the header's image buffer.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/bytes.h"
#include "platform/gdi.h"
#include "png/chunk_idat.h"
#include "png/chunk_ihdr.h"
#include "png/crc32.h"
#include "png/exceptions.h"
#include "png/messages.h"
#include "png/png_object.h"
#include "png/unfilter.h"
#include "png/unpack.h"

namespace png {

namespace {

const ChunkName kIdatName = {'I', 'D', 'A', 'T'};

// Reads a stored 4-byte CRC and compares it with the register; one that cannot be read in
// full does not match.
void TestStoredCrc(platform::TStream& stream, uint32_t crc) {
  uint8_t stored[4];
  if (stream.Read(stored, 4) != 4 || platform::LoadBe32(stored) != (crc ^ 0xFFFFFFFF)) {
    RaisePngError<EPngInvalidCRC>(kInvalidCrc);
  }
}

// Keeps the zlib stream and the row buffers for one load, and releases them however it ends.
class LoadScope {
 public:
  LoadScope(TChunkIDAT& chunk, platform::TStream& stream, TZlibStreamContext& context)
      : chunk_(chunk), context_(context) {
    OpenInflate(stream, context_);
  }
  ~LoadScope() {
    CloseInflate(context_);
    chunk_.RowBuffers = {};
  }
  LoadScope(const LoadScope&) = delete;
  LoadScope& operator=(const LoadScope&) = delete;

 private:
  TChunkIDAT& chunk_;
  TZlibStreamContext& context_;
};

// Image row y (0 the top) of the bottom-up pixel rows, and of the top-down alpha plane.
uint8_t* ImageRow(const TChunkIHDR& header, int32_t y) {
  return header.PixelBuffer +
         static_cast<int64_t>(header.RowStride) * (static_cast<int64_t>(header.Height) - 1 - y);
}
uint8_t* AlphaRow(const TChunkIHDR& header, int32_t y) {
  if (!header.AlphaBuffer) return nullptr;
  return header.AlphaBuffer.get() + static_cast<int64_t>(header.Width) * y;
}

// Inflates up to count bytes into destination from the zlib stream that runs across
// consecutive IDAT chunks, entering each following chunk (and testing each chunk's CRC) as
// the data runs out; returns fewer when the file has no more.
int64_t InflateInto(TChunkIDAT& chunk, TZlibStreamContext& context, uint8_t* destination,
                    uint32_t& crc, int64_t count) {
  z_stream& z = context.ZStream;
  platform::TStream& stream = *context.FileStream;
  z.next_out = destination;
  z.avail_out = static_cast<uInt>(std::max<int64_t>(count, 0));
  while (z.avail_out > 0) {
    if (z.avail_in == 0) {
      int64_t position = stream.Position();
      if (position >= chunk.ChunkDataEnd) {
        // The chunk is used up: test it and enter the next one, which must be IDAT.
        TestStoredCrc(stream, crc);
        uint8_t header[8];
        if (stream.Read(header, 8) != 8 || std::memcmp(header + 4, kIdatName.data(), 4) != 0) {
          RaisePngError<EPNGMissingMultipleIDAT>(kMissingMultipleIdat);
        }
        const uint32_t length = platform::LoadBe32(header);
        if (length > static_cast<uint32_t>(INT32_MAX)) RaisePngError<EPngInvalidCRC>(kInvalidCrc);
        crc = Crc32Update(0xFFFFFFFF, header + 4, 4);
        position = stream.Position();
        chunk.ChunkDataEnd = position + length;
        // An empty chunk is tested and passed over at the next turn.
        if (length == 0) continue;
      }
      const int64_t want = std::min<int64_t>(chunk.ChunkDataEnd - position,
                                             static_cast<int64_t>(context.IoBuffer.size()));
      const int64_t got = stream.Read(context.IoBuffer.data(), want);
      if (got <= 0) return count - static_cast<int64_t>(z.avail_out);
      crc = Crc32Update(crc, context.IoBuffer.data(), got);
      z.next_in = context.IoBuffer.data();
      z.avail_in = static_cast<uInt>(got);
    }
    const int code = inflate(&z, Z_NO_FLUSH);
    if (code < 0) RaiseZlibError(code);
    // A preset dictionary is never supplied.
    if (code == Z_NEED_DICT) RaiseZlibError(Z_STREAM_ERROR);
    if (code == Z_STREAM_END && z.avail_out > 0) {
      // The stream is over but rows are missing. When it ended exactly at the end of the
      // chunk, the chunk boundary reports it after the CRC test; otherwise inflate would
      // produce nothing more from what is left.
      if (z.avail_in > 0 || stream.Position() < chunk.ChunkDataEnd) {
        RaisePngError<EPNGMissingMultipleIDAT>(kMissingMultipleIdat);
      }
    }
  }
  return count;
}

// The bytes of filtered scanlines the image data holds: every row of the image, or of
// every pass with pixels, with its filter-type byte.
int64_t FilteredImageSize(const TChunkIHDR& header, int interlacing, int32_t row_size) {
  const int64_t height = header.Height;
  if (interlacing == 0) return (int64_t{row_size} + 1) * height;
  if (interlacing != 1) return 0;
  int64_t total = 0;
  for (int pass = 0; pass < static_cast<int>(kAdam7Passes.size()); ++pass) {
    const Adam7Pass& p = kAdam7Passes[static_cast<size_t>(pass)];
    const int32_t size = ScanlineSize(Adam7PassWidth(pass, static_cast<int32_t>(header.Width)),
                                      header.ColourType, header.BitDepth);
    if (size == 0 || height <= p.row) continue;
    total += (height - p.row + p.row_step - 1) / p.row_step * (int64_t{size} + 1);
  }
  return total;
}

// Inflated data is handed out of blocks of this size.
constexpr int64_t kStagingSize = 256 * 1024;

}  // namespace

void TChunkIDAT::PrepareGreyRamp() {
  TChunkIHDR& header = *HeaderChunk;
  if (header.ColourType != 0 && header.ColourType != 4) return;
  const int bits = header.BufferBitsPerPixel();
  if (bits < 1 || bits > 8) return;
  const int levels = 1 << bits;
  const auto& gamma = OwnerImage->DecodeGammaTable;
  for (int i = 0; i < levels; ++i) {
    const uint8_t level = gamma[static_cast<size_t>(platform::MulDiv(i, 255, levels - 1))];
    platform::RGBQUAD& entry = header.BufferInfo.bmiColors[i];
    entry.rgbBlue = level;
    entry.rgbGreen = level;
    entry.rgbRed = level;
  }
}

int32_t TChunkIDAT::ReadInflated(TZlibStreamContext& context, uint8_t* destination, uint32_t& crc,
                                 int32_t count) {
  // Rows come out of a staging block that zlib fills in large pieces: inflating a row at a
  // time makes zlib copy every byte into its window once more. The blocks never run past
  // the bytes the image still takes, so no chunk is entered earlier than a row needs it.
  int32_t delivered = 0;
  while (delivered < count) {
    if (context.StagedBegin == context.StagedEnd) {
      const int64_t want =
          std::min<int64_t>(static_cast<int64_t>(context.Staging.size()),
                            std::max<int64_t>(context.InflateBudget, count - delivered));
      const int64_t got = InflateInto(*this, context, context.Staging.data(), crc, want);
      context.InflateBudget -= got;
      context.StagedBegin = 0;
      context.StagedEnd = static_cast<size_t>(got);
      if (got == 0) break;
    }
    const auto take = static_cast<int32_t>(std::min<int64_t>(
        count - delivered, static_cast<int64_t>(context.StagedEnd - context.StagedBegin)));
    std::memcpy(destination + delivered, context.Staging.data() + context.StagedBegin,
                static_cast<size_t>(take));
    context.StagedBegin += static_cast<size_t>(take);
    delivered += take;
  }
  return delivered;
}

void TChunkIDAT::UndoRowFilter() {
  uint8_t* row = RowBuffers[CurrentRow].data();
  UnfilterRow(row[0], row + 1, RowBuffers[1 - CurrentRow].data() + 1, RowSize,
              static_cast<int32_t>(std::max(FilterStride, 1u)));
}

void TChunkIDAT::DecodeRowsPlain(TZlibStreamContext& context, uint32_t& crc) {
  const TChunkIHDR& header = *HeaderChunk;
  const UnpackRowRoutine unpack = UnpackRoutinesFor(header.ColourType, header.BitDepth).row;
  // Without pixel memory (width 0) only the filter-type bytes are read.
  const bool store = unpack != nullptr && header.PixelBuffer != nullptr && RowSize > 0;
  for (int32_t y = 0; y < PixelHeight; ++y) {
    if (ReadInflated(context, RowBuffers[CurrentRow].data(), crc, RowSize + 1) == 0) return;
    UndoRowFilter();
    if (store)
      unpack(*this, RowBuffers[CurrentRow].data() + 1, ImageRow(header, y), AlphaRow(header, y));
    CurrentRow ^= 1;
  }
}

void TChunkIDAT::DecodeRowsAdam7(TZlibStreamContext& context, uint32_t& crc) {
  const TChunkIHDR& header = *HeaderChunk;
  const UnpackPassRoutine unpack = UnpackRoutinesFor(header.ColourType, header.BitDepth).pass;
  for (int pass = 0; pass < static_cast<int>(kAdam7Passes.size()); ++pass) {
    const Adam7Pass& p = kAdam7Passes[static_cast<size_t>(pass)];
    RowSize = ScanlineSize(Adam7PassWidth(pass, PixelWidth), header.ColourType, header.BitDepth);
    // The first scanline of every pass is unfiltered against an all-zero prior row.
    std::fill_n(RowBuffers[1 - CurrentRow].begin(), RowSize + 1, uint8_t{0});
    if (RowSize == 0) continue;
    for (int32_t y = p.row; y < PixelHeight; y += p.row_step) {
      if (ReadInflated(context, RowBuffers[CurrentRow].data(), crc, RowSize + 1) == 0) break;
      UndoRowFilter();
      if (unpack != nullptr)
        unpack(*this, pass, RowBuffers[CurrentRow].data() + 1, ImageRow(header, y),
               AlphaRow(header, y));
      CurrentRow ^= 1;
    }
  }
}

bool TChunkIDAT::ReadChunk(platform::TStream& stream, const ChunkName& type, int32_t length) {
  HeaderChunk = &OwnerHeader();
  TChunkIHDR& header = *HeaderChunk;
  // Pairs PNG does not allow have no unpacking routine and no safe buffer layout.
  if (UnpackRoutinesFor(header.ColourType, header.BitDepth).row == nullptr) {
    RaisePngError<EPngInvalidIHDR>(kInvalidIhdr);
  }
  if (header.UsesColourTable) PrepareGreyRamp();
  GammaIsIdentity = IsIdentityTable(OwnerImage->DecodeGammaTable);
  PixelWidth = static_cast<int32_t>(header.Width);
  PixelHeight = static_cast<int32_t>(header.Height);
  uint32_t crc = Crc32Update(0xFFFFFFFF, type.data(), 4);
  OwnerImage->GetRowGeometry(RowSize, FilterStride);
  {
    TZlibStreamContext context;
    LoadScope scope(*this, stream, context);
    ChunkDataEnd = stream.Position() + std::max(length, 0);
    RowBuffers[0].assign(static_cast<size_t>(RowSize) + 1, 0);
    RowBuffers[1].resize(static_cast<size_t>(RowSize) + 1);
    CurrentRow = 1;
    context.InflateBudget = FilteredImageSize(header, OwnerImage->Interlacing(), RowSize);
    context.Staging.resize(
        static_cast<size_t>(std::clamp<int64_t>(context.InflateBudget, 1, kStagingSize)));
    switch (OwnerImage->Interlacing()) {
      case 0:
        DecodeRowsPlain(context, crc);
        break;
      case 1:
        DecodeRowsAdam7(context, crc);
        break;
      default:
        break;
    }
    // Rows can be complete before the chunk's data is: its tail belongs to the CRC as well.
    for (int64_t left = ChunkDataEnd - stream.Position(); left > 0;) {
      const int64_t got =
          stream.Read(context.IoBuffer.data(), std::min<int64_t>(left, context.IoBuffer.size()));
      if (got <= 0) break;
      crc = Crc32Update(crc, context.IoBuffer.data(), got);
      left -= got;
    }
  }
  TestStoredCrc(stream, crc);
  return true;
}

}  // namespace png
