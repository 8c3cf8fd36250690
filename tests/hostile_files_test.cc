// Damaged and hostile files, one for each failure the loaders know, run through the trim
// program: each ends the run with its error class in a one-line report and leaves the file
// exactly as it was, its modification time included, with nothing else in the folder.
#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/bytes.h"
#include "platform/exception.h"
#include "platform/gdi_types.h"
#include "platform/stream.h"
#include "tests/bmp_builder.h"
#include "tests/png_builder.h"
#include "tests/png_test_support.h"
#include "tests/program_runner.h"

namespace {

using tests::Be32;
using tests::BmpFixture;
using tests::Bytes;
using tests::Concat;
using tests::PngBuilder;

constexpr uint32_t kWidth = 12;
constexpr uint32_t kHeight = 10;

bool InFrame(uint32_t x, uint32_t y) {
  return x == 0 || y == 0 || x == kWidth - 1 || y == kHeight - 1;
}

// Scanlines (filter type 0) of the first `rows` rows of a framed 8-bit truecolour picture.
Bytes TruecolourRows(uint32_t rows = kHeight) {
  Bytes raw;
  for (uint32_t y = 0; y < rows; ++y) {
    raw.push_back(0);
    for (uint32_t x = 0; x < kWidth; ++x) {
      for (uint32_t c = 0; c < 3; ++c)
        raw.push_back(InFrame(x, y) ? 250 : static_cast<uint8_t>((x * 37 + y * 91 + c * 53) % 256));
    }
  }
  return raw;
}

// Scanlines of the same frame as a 4-bit palette picture of six colours.
Bytes IndexedRows() {
  Bytes raw;
  for (uint32_t y = 0; y < kHeight; ++y) {
    raw.push_back(0);
    for (uint32_t x = 0; x < kWidth; x += 2) {
      const auto index = [&](uint32_t column) {
        return InFrame(column, y) ? 0 : 1 + (column + 2 * y) % 5;
      };
      raw.push_back(static_cast<uint8_t>(index(x) << 4 | index(x + 1)));
    }
  }
  return raw;
}

Bytes PaletteData(size_t bytes) {
  Bytes data(bytes);
  for (size_t i = 0; i < bytes; ++i)
    data[i] = static_cast<uint8_t>(40 * i + 7);
  return data;
}

Bytes IhdrData(uint32_t width, uint32_t height, uint8_t bit_depth, uint8_t colour_type,
               uint8_t compression = 0, uint8_t interlace = 0) {
  Bytes data = Concat({Be32(width), Be32(height)});
  data.insert(data.end(), {bit_depth, colour_type, compression, 0, interlace});
  return data;
}

PngBuilder TruecolourStart() {
  return PngBuilder().Ihdr(kWidth, kHeight, 8, 2);
}

Bytes Truecolour() {
  return TruecolourStart().Idat(TruecolourRows()).Iend().Data();
}

// A truecolour file whose image data is the given zlib stream.
Bytes WithStream(const Bytes& stream) {
  return TruecolourStart().Chunk("IDAT", stream).Iend().Data();
}

// A truecolour file with the given header data.
Bytes WithHeader(const Bytes& header) {
  return PngBuilder().Chunk("IHDR", header).Idat(TruecolourRows()).Iend().Data();
}

// A truecolour file with one more chunk between the header and the image data.
Bytes WithChunk(const PngBuilder& extra_after_header) {
  return PngBuilder(extra_after_header).Idat(TruecolourRows()).Iend().Data();
}

// The palette file every field of which the truncations cut into: IHDR, PLTE, two IDAT
// chunks that share one zlib stream, IEND.
Bytes Layered() {
  const Bytes stream = tests::ZlibCompress(IndexedRows());
  return PngBuilder()
      .Ihdr(kWidth, kHeight, 4, 3)
      .Chunk("PLTE", PaletteData(18))
      .IdatPieces(stream, {stream.size() / 2, stream.size()})
      .Iend()
      .Data();
}

enum Chunk { kIhdrChunk, kPlteChunk, kFirstIdatChunk, kSecondIdatChunk, kIendChunk };
enum Field { kLengthField, kTypeField, kDataField, kCrcField, kAfterChunk };

// Layered() cut short inside a field of one of its chunks.
Bytes CutInside(Chunk chunk, Field field) {
  Bytes file = Layered();
  size_t start = 8;
  for (int i = 0; i < chunk; ++i)
    start += 12 + platform::LoadBe32(file.data() + start);
  const size_t length = platform::LoadBe32(file.data() + start);
  const size_t cut[] = {start + 2, start + 6, start + 8 + length / 2, start + 8 + length + 2,
                        start + 12 + length};
  file.resize(cut[field]);
  return file;
}

// The chunk at index `chunk` of a file, its length field overwritten; its CRC (which does
// not cover the length) stays right.
Bytes WithLength(Bytes file, int chunk, uint32_t length) {
  size_t start = 8;
  for (int i = 0; i < chunk; ++i)
    start += 12 + platform::LoadBe32(file.data() + start);
  const Bytes field = Be32(length);
  std::copy(field.begin(), field.end(), file.begin() + static_cast<long>(start));
  return file;
}

// A zlib header with the given method byte and flag bits, and a correct check value.
Bytes ZlibHeader(uint8_t cmf, uint8_t flags) {
  flags = static_cast<uint8_t>(flags & 0xE0);
  flags = static_cast<uint8_t>(flags + (31 - (cmf * 256 + flags) % 31) % 31);
  return {cmf, flags};
}

Bytes Cut(Bytes bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

// --- BMP files ---

// A framed 24-bit picture, bottom-up.
BmpFixture Bmp24() {
  BmpFixture f;
  f.width = 8;
  f.height = 6;
  std::vector<std::vector<uint32_t>> rows(6, std::vector<uint32_t>(8, 0xFFFFFF));
  for (int y = 1; y < 5; ++y) {
    for (int x = 1; x < 7; ++x)
      rows[y][x] = static_cast<uint32_t>(0x102030 * (x + 2 * y));
  }
  f.pixels = tests::PackRows(24, rows);
  return f;
}

template <typename Change>
Bytes Bmp24With(Change change) {
  BmpFixture f = Bmp24();
  change(f);
  return tests::BuildBmp(f);
}

// An 8 x 4 RLE picture (8-bit, or 4-bit when `bits` says so) with the given codes.
Bytes Rle(const Bytes& codes, uint16_t bits = 8) {
  BmpFixture f;
  f.width = 8;
  f.height = 4;
  f.bits = bits;
  f.compression = bits == 8 ? platform::BI_RLE8 : platform::BI_RLE4;
  f.colours_used = 4;
  f.colours = tests::TestColours(4);
  f.pixels = codes;
  return tests::BuildBmp(f);
}

// A 16-bit bit-field picture with the given masks.
Bytes BitfieldsWith(std::vector<uint32_t> masks) {
  BmpFixture f;
  f.width = 4;
  f.height = 2;
  f.bits = 16;
  f.compression = platform::BI_BITFIELDS;
  f.masks = std::move(masks);
  f.pixels = Bytes(16, 0x11);
  return tests::BuildBmp(f);
}

// The one-line texts of the reports, carriage returns and line feeds shown as a space.
const std::map<std::string, std::string> kMessages = {
    {"EPngUnexpectedEnd",
     "This \"Portable Network Graphics\" image is invalid because the decoder found an "
     "unexpected end of the file."},
    {"EPngInvalidCRC",
     "This \"Portable Network Graphics\" image is not valid because it contains invalid pieces "
     "of data (crc error)"},
    {"EPngInvalidIHDR",
     "The \"Portable Network Graphics\" image could not be loaded because one of its main piece "
     "of data (ihdr) might be corrupted"},
    {"EPNGMissingMultipleIDAT",
     "This \"Portable Network Graphics\" image is invalid because it has missing image parts."},
    {"EPNGZLIBError",
     "Could not decompress the image because it contains invalid compressed data.  "
     "Description: "},
    {"EPNGInvalidPalette", "The \"Portable Network Graphics\" image contains an invalid palette."},
    {"EPNGInvalidFileHeader",
     "The file being readed is not a valid \"Portable Network Graphics\" image because it "
     "contains an invalid header. This file may be corruped, try obtaining it again."},
    {"EPNGIHDRNotFirst",
     "This \"Portable Network Graphics\" image is not supported or it might be invalid. "
     "(IHDR chunk is not the first)"},
    {"EPNGSizeExceeds",
     "This \"Portable Network Graphics\" image is not supported because either it's width or "
     "height exceeds the maximum size, which is 65535 pixels length."},
    {"EPNGUnknownCriticalChunk",
     "This \"Portable Network Graphics\" image contains an unknown critical part which could "
     "not be decoded."},
    {"EPNGUnknownCompression",
     "This \"Portable Network Graphics\" image is encoded with an unknown compression scheme "
     "which could not be decoded."},
    {"EPNGUnknownInterlace",
     "This \"Portable Network Graphics\" image uses an unknown interlace scheme which could not "
     "be decoded."},
    {"EPNGNoImageData", "This \"Portable Network Graphics\" image contains no data."},
    {"EInvalidGraphic", "Bitmap image is not valid"},
};

struct HostileFile {
  const char* name;  // also the file's name, before the extension
  Bytes (*bytes)();
  const char* error_class;
  const char* detail = "";  // what follows the class's text (the zlib description)
};

std::ostream& operator<<(std::ostream& out, const HostileFile& file) {
  return out << file.name;
}

const HostileFile kPngFiles[] = {
    // Signature and header placement.
    {"Empty", [] { return Bytes{}; }, "EPNGInvalidFileHeader"},
    {"OnlyLettersPng",
     [] {
       return Bytes{'P', 'N', 'G'};
     },
     "EPNGInvalidFileHeader"},
    {"SignatureCutShort", [] { return Cut(Truecolour(), 7); }, "EPNGInvalidFileHeader"},
    {"SignatureLineEndsConverted",
     [] {
       Bytes file = Truecolour();
       file.erase(file.begin() + 4);  // CR LF became LF
       return file;
     },
     "EPNGInvalidFileHeader"},
    {"SignatureAlone", [] { return Cut(Truecolour(), 8); }, "EPngUnexpectedEnd"},
    {"GammaBeforeHeader",
     [] {
       const Bytes file = Truecolour();
       return PngBuilder()
           .Chunk("gAMA", Be32(45455))
           .Raw(Bytes(file.begin() + 8, file.end()))
           .Data();
     },
     "EPNGIHDRNotFirst"},
    {"ImageDataFirst", [] { return PngBuilder().Idat(TruecolourRows()).Iend().Data(); },
     "EPNGIHDRNotFirst"},
    {"HeaderInLowerCase",
     [] {
       return PngBuilder()
           .Chunk("ihdr", IhdrData(kWidth, kHeight, 8, 2))
           .Idat(TruecolourRows())
           .Iend()
           .Data();
     },
     "EPNGIHDRNotFirst"},
    // Header checks, in the order they are made.
    {"HeaderOf12Bytes", [] { return WithHeader(Cut(IhdrData(kWidth, kHeight, 8, 2), 12)); },
     "EPngInvalidIHDR"},
    {"HeaderEmpty", [] { return WithHeader({}); }, "EPngInvalidIHDR"},
    {"Width65536", [] { return WithHeader(IhdrData(65536, kHeight, 8, 2)); }, "EPNGSizeExceeds"},
    {"Height65536", [] { return WithHeader(IhdrData(kWidth, 65536, 8, 2)); }, "EPNGSizeExceeds"},
    {"Width2Pow31", [] { return WithHeader(IhdrData(0x80000000u, kHeight, 8, 2)); },
     "EPNGSizeExceeds"},
    {"Height2Pow32Minus1", [] { return WithHeader(IhdrData(kWidth, 0xFFFFFFFFu, 8, 2)); },
     "EPNGSizeExceeds"},
    {"SizeBeforeCompression", [] { return WithHeader(IhdrData(70000, kHeight, 8, 2, 1, 2)); },
     "EPNGSizeExceeds"},
    {"CompressionMethod1", [] { return WithHeader(IhdrData(kWidth, kHeight, 8, 2, 1)); },
     "EPNGUnknownCompression"},
    {"CompressionBeforeInterlace",
     [] { return WithHeader(IhdrData(kWidth, kHeight, 8, 2, 255, 2)); }, "EPNGUnknownCompression"},
    {"InterlaceMethod2", [] { return WithHeader(IhdrData(kWidth, kHeight, 8, 2, 0, 2)); },
     "EPNGUnknownInterlace"},
    // Pairs of colour type and bit depth that PNG does not allow are refused when the image
    // data would be decoded.
    {"ColourType5", [] { return WithHeader(IhdrData(kWidth, kHeight, 8, 5)); }, "EPngInvalidIHDR"},
    {"TruecolourAt4Bits", [] { return WithHeader(IhdrData(kWidth, kHeight, 4, 2)); },
     "EPngInvalidIHDR"},
    {"GreyAt3Bits", [] { return WithHeader(IhdrData(kWidth, kHeight, 3, 0)); }, "EPngInvalidIHDR"},
    // A damaged CRC in every kind of chunk; the CRC is tested before the content.
    {"HeaderCrc",
     [] {
       return PngBuilder()
           .BadCrcChunk("IHDR", IhdrData(kWidth, kHeight, 8, 2))
           .Idat(TruecolourRows())
           .Iend()
           .Data();
     },
     "EPngInvalidCRC"},
    {"HeaderCrcBeforeSize",
     [] {
       return PngBuilder()
           .BadCrcChunk("IHDR", IhdrData(70000, kHeight, 8, 2))
           .Idat(TruecolourRows())
           .Iend()
           .Data();
     },
     "EPngInvalidCRC"},
    {"PaletteCrc",
     [] {
       return PngBuilder()
           .Ihdr(kWidth, kHeight, 4, 3)
           .BadCrcChunk("PLTE", PaletteData(18))
           .Idat(IndexedRows())
           .Iend()
           .Data();
     },
     "EPngInvalidCRC"},
    {"PaletteCrcBeforeSize",
     [] {
       return PngBuilder()
           .Ihdr(kWidth, kHeight, 4, 3)
           .BadCrcChunk("PLTE", PaletteData(10))
           .Idat(IndexedRows())
           .Iend()
           .Data();
     },
     "EPngInvalidCRC"},
    {"TransparencyCrc",
     [] {
       return WithChunk(TruecolourStart().BadCrcChunk("tRNS", {0, 1, 0, 2, 0, 3}));
     },
     "EPngInvalidCRC"},
    {"GammaCrc", [] { return WithChunk(TruecolourStart().BadCrcChunk("gAMA", Be32(45455))); },
     "EPngInvalidCRC"},
    {"TextCrc",
     [] {
       return WithChunk(TruecolourStart().BadCrcChunk("tEXt", {'k', 0, 'v'}));
     },
     "EPngInvalidCRC"},
    {"CompressedTextCrc",
     [] {
       Bytes data = {'k', 0, 0};
       const Bytes text = tests::ZlibCompress({'v', 'v', 'v'});
       data.insert(data.end(), text.begin(), text.end());
       return WithChunk(TruecolourStart().BadCrcChunk("zTXt", data));
     },
     "EPngInvalidCRC"},
    {"TimeCrc",
     [] {
       return WithChunk(TruecolourStart().BadCrcChunk("tIME", {7, 232, 5, 17, 12, 30, 45}));
     },
     "EPngInvalidCRC"},
    {"PrivateAncillaryCrc", [] { return WithChunk(TruecolourStart().BadCrcChunk("prVt", {1})); },
     "EPngInvalidCRC"},
    {"OnlyImageDataCrc",
     [] {
       return TruecolourStart()
           .BadCrcChunk("IDAT", tests::ZlibCompress(TruecolourRows()))
           .Iend()
           .Data();
     },
     "EPngInvalidCRC"},
    {"FirstOfTwoImageDataCrc",
     [] {
       const Bytes stream = tests::ZlibCompress(TruecolourRows());
       const Bytes half(stream.begin(), stream.begin() + static_cast<long>(stream.size() / 2));
       const Bytes rest(stream.begin() + static_cast<long>(stream.size() / 2), stream.end());
       return TruecolourStart().BadCrcChunk("IDAT", half).Chunk("IDAT", rest).Iend().Data();
     },
     "EPngInvalidCRC"},
    {"LastOfTwoImageDataCrc",
     [] {
       const Bytes stream = tests::ZlibCompress(TruecolourRows());
       const Bytes half(stream.begin(), stream.begin() + static_cast<long>(stream.size() / 2));
       const Bytes rest(stream.begin() + static_cast<long>(stream.size() / 2), stream.end());
       return TruecolourStart().Chunk("IDAT", half).BadCrcChunk("IDAT", rest).Iend().Data();
     },
     "EPngInvalidCRC"},
    {"EndCrc",
     [] { return TruecolourStart().Idat(TruecolourRows()).BadCrcChunk("IEND", {}).Data(); },
     "EPngInvalidCRC"},
    // Cut short inside every field of every chunk.
    {"CutInHeaderLength", [] { return CutInside(kIhdrChunk, kLengthField); }, "EPngUnexpectedEnd"},
    {"CutInHeaderType", [] { return CutInside(kIhdrChunk, kTypeField); }, "EPngUnexpectedEnd"},
    {"CutInHeaderData", [] { return CutInside(kIhdrChunk, kDataField); }, "EPngInvalidCRC"},
    {"CutInHeaderCrc", [] { return CutInside(kIhdrChunk, kCrcField); }, "EPngInvalidCRC"},
    {"CutAfterHeader", [] { return CutInside(kIhdrChunk, kAfterChunk); }, "EPngUnexpectedEnd"},
    {"CutInPaletteLength", [] { return CutInside(kPlteChunk, kLengthField); }, "EPngUnexpectedEnd"},
    {"CutInPaletteType", [] { return CutInside(kPlteChunk, kTypeField); }, "EPngUnexpectedEnd"},
    {"CutInPaletteData", [] { return CutInside(kPlteChunk, kDataField); }, "EPngInvalidCRC"},
    {"CutInPaletteCrc", [] { return CutInside(kPlteChunk, kCrcField); }, "EPngInvalidCRC"},
    {"CutAfterPalette", [] { return CutInside(kPlteChunk, kAfterChunk); }, "EPngUnexpectedEnd"},
    {"CutInImageDataLength", [] { return CutInside(kFirstIdatChunk, kLengthField); },
     "EPngUnexpectedEnd"},
    {"CutInImageDataType", [] { return CutInside(kFirstIdatChunk, kTypeField); },
     "EPngUnexpectedEnd"},
    {"CutInImageData", [] { return CutInside(kFirstIdatChunk, kDataField); }, "EPngInvalidCRC"},
    {"CutInImageDataCrc", [] { return CutInside(kFirstIdatChunk, kCrcField); }, "EPngInvalidCRC"},
    {"CutBeforeMoreImageData", [] { return CutInside(kFirstIdatChunk, kAfterChunk); },
     "EPNGMissingMultipleIDAT"},
    {"CutInNextImageDataLength", [] { return CutInside(kSecondIdatChunk, kLengthField); },
     "EPNGMissingMultipleIDAT"},
    {"CutInNextImageDataType", [] { return CutInside(kSecondIdatChunk, kTypeField); },
     "EPNGMissingMultipleIDAT"},
    {"CutInNextImageData", [] { return CutInside(kSecondIdatChunk, kDataField); },
     "EPngInvalidCRC"},
    {"CutInNextImageDataCrc", [] { return CutInside(kSecondIdatChunk, kCrcField); },
     "EPngInvalidCRC"},
    {"CutBeforeEnd", [] { return CutInside(kSecondIdatChunk, kAfterChunk); }, "EPngUnexpectedEnd"},
    {"CutInEndLength", [] { return CutInside(kIendChunk, kLengthField); }, "EPngUnexpectedEnd"},
    {"CutInEndType", [] { return CutInside(kIendChunk, kTypeField); }, "EPngUnexpectedEnd"},
    {"CutInEndCrc", [] { return CutInside(kIendChunk, kCrcField); }, "EPngInvalidCRC"},
    // Length fields beyond what a file can hold: 2^31 - 1 past the end of the file, and the
    // values 2^31 and above that the PNG standard forbids.
    {"HeaderLengthPastTheEnd", [] { return WithLength(Truecolour(), 0, 0x7FFFFFFFu); },
     "EPngInvalidCRC"},
    {"HeaderLength2Pow31", [] { return WithLength(Truecolour(), 0, 0x80000000u); },
     "EPngInvalidCRC"},
    {"HeaderLength2Pow32Minus1", [] { return WithLength(Truecolour(), 0, 0xFFFFFFFFu); },
     "EPngInvalidCRC"},
    {"PaletteLength2Pow31", [] { return WithLength(Layered(), 1, 0x80000000u); }, "EPngInvalidCRC"},
    {"TextLength2Pow32Minus1",
     [] {
       return WithLength(WithChunk(TruecolourStart().Chunk("tEXt", {'k', 0, 'v'})), 1, 0xFFFFFFFFu);
     },
     "EPngInvalidCRC"},
    {"SkippedChromaLength2Pow31",
     [] {
       return WithLength(WithChunk(TruecolourStart().Chunk("cHRM", Bytes(32, 1))), 1, 0x80000000u);
     },
     "EPngInvalidCRC"},
    {"ImageDataLengthPastTheEnd", [] { return WithLength(Truecolour(), 1, 0x7FFFFFFFu); },
     "EPngInvalidCRC"},
    {"ImageDataLength2Pow32Minus1", [] { return WithLength(Truecolour(), 1, 0xFFFFFFFFu); },
     "EPngInvalidCRC"},
    {"NextImageDataLength2Pow31", [] { return WithLength(Layered(), 3, 0x80000000u); },
     "EPngInvalidCRC"},
    {"LateImageDataLength2Pow32Minus1",
     [] {
       const Bytes file = TruecolourStart()
                              .Idat(TruecolourRows())
                              .Chunk("tEXt", {'k', 0, 'v'})
                              .Chunk("IDAT", {1, 2, 3})
                              .Iend()
                              .Data();
       return WithLength(file, 3, 0xFFFFFFFFu);
     },
     "EPngInvalidCRC"},
    {"EndLength2Pow31", [] { return WithLength(Truecolour(), 2, 0x80000000u); }, "EPngInvalidCRC"},
    // Chunks the decoder does not know, or that are missing, or out of place.
    {"PrivateCriticalChunk",
     [] {
       return WithChunk(TruecolourStart().Chunk("PRVT", {1, 2}));
     },
     "EPNGUnknownCriticalChunk"},
    {"MisspelledImageData",
     [] { return TruecolourStart().Chunk("IDAt", tests::ZlibCompress(TruecolourRows())).Data(); },
     "EPNGUnknownCriticalChunk"},
    {"CriticalChunkAfterImageData",
     [] { return TruecolourStart().Idat(TruecolourRows()).Chunk("PRVT", {}).Iend().Data(); },
     "EPNGUnknownCriticalChunk"},
    {"HeaderAndEndOnly", [] { return TruecolourStart().Iend().Data(); }, "EPNGNoImageData"},
    {"PaletteButNoImageData",
     [] {
       return PngBuilder().Ihdr(kWidth, kHeight, 4, 3).Chunk("PLTE", PaletteData(18)).Iend().Data();
     },
     "EPNGNoImageData"},
    {"ImageDataInLowerCase",
     [] {
       return TruecolourStart().Chunk("idat", tests::ZlibCompress(TruecolourRows())).Iend().Data();
     },
     "EPNGNoImageData"},
    {"ImageDataEndsEarly", [] { return WithStream(tests::ZlibCompress(TruecolourRows(7))); },
     "EPNGMissingMultipleIDAT"},
    {"ImageDataEndsEarlyInsideTheChunk",
     [] {
       Bytes stream = tests::ZlibCompress(TruecolourRows(7));
       stream.insert(stream.end(), 40, 0x55);
       return WithStream(stream);
     },
     "EPNGMissingMultipleIDAT"},
    {"EmptyImageData", [] { return WithStream({}); }, "EPNGMissingMultipleIDAT"},
    {"ImageDataSplitByText",
     [] {
       const Bytes stream = tests::ZlibCompress(TruecolourRows());
       const Bytes half(stream.begin(), stream.begin() + static_cast<long>(stream.size() / 2));
       const Bytes rest(stream.begin() + static_cast<long>(stream.size() / 2), stream.end());
       return TruecolourStart()
           .Chunk("IDAT", half)
           .Chunk("tEXt", {'k', 0, 'v'})
           .Chunk("IDAT", rest)
           .Iend()
           .Data();
     },
     "EPNGMissingMultipleIDAT"},
    // Damaged zlib streams.
    {"ZlibHeaderCheck",
     [] {
       Bytes stream = tests::ZlibCompress(TruecolourRows());
       stream[1] ^= 1;
       return WithStream(stream);
     },
     "EPNGZLIBError", "data error (-3)"},
    {"ZlibMethod7",
     [] {
       const Bytes plain = tests::ZlibCompress(TruecolourRows());
       return WithStream(Concat({ZlibHeader(0x77, 0), Bytes(plain.begin() + 2, plain.end())}));
     },
     "EPNGZLIBError", "data error (-3)"},
    {"ReservedBlockType",
     [] {
       return WithStream(Concat({ZlibHeader(0x78, 0), {0x07, 0, 0, 0, 0, 0, 0, 0}}));
     },
     "EPNGZLIBError", "data error (-3)"},
    {"StoredBlockLengthsDisagree",
     [] {
       return WithStream(Concat({ZlibHeader(0x78, 0), {0x01, 0x10, 0x00, 0x00, 0x00, 1, 2, 3}}));
     },
     "EPNGZLIBError", "data error (-3)"},
    {"ChecksumWrong",
     [] {
       Bytes stream = tests::ZlibCompress(TruecolourRows());
       stream.back() ^= 1;
       return WithStream(stream);
     },
     "EPNGZLIBError", "data error (-3)"},
    {"PresetDictionary",
     [] {
       const Bytes plain = tests::ZlibCompress(TruecolourRows());
       return WithStream(Concat(
           {ZlibHeader(0x78, 0x20), Be32(0x12345678), Bytes(plain.begin() + 2, plain.end())}));
     },
     "EPNGZLIBError", "stream error (-2)"},
    // Palettes and transparency of sizes that do not fit.
    {"PaletteOf10Bytes",
     [] {
       return PngBuilder()
           .Ihdr(kWidth, kHeight, 4, 3)
           .Chunk("PLTE", PaletteData(10))
           .Idat(IndexedRows())
           .Iend()
           .Data();
     },
     "EPNGInvalidPalette"},
    {"PaletteOf257Entries",
     [] {
       return PngBuilder()
           .Ihdr(kWidth, kHeight, 4, 3)
           .Chunk("PLTE", PaletteData(771))
           .Idat(IndexedRows())
           .Iend()
           .Data();
     },
     "EPNGInvalidPalette"},
    {"PaletteOf4BytesInTruecolour",
     [] { return WithChunk(TruecolourStart().Chunk("PLTE", PaletteData(4))); },
     "EPNGInvalidPalette"},
    {"TransparencyOf257Bytes",
     [] {
       return PngBuilder()
           .Ihdr(kWidth, kHeight, 4, 3)
           .Chunk("PLTE", PaletteData(18))
           .Chunk("tRNS", Bytes(257, 255))
           .Idat(IndexedRows())
           .Iend()
           .Data();
     },
     "EPNGInvalidPalette"},
    {"TransparencyOf257BytesInTruecolour",
     [] { return WithChunk(TruecolourStart().Chunk("tRNS", Bytes(257, 0))); },
     "EPNGInvalidPalette"},
};

const HostileFile kBmpFiles[] = {
    // File and information headers.
    {"Empty", [] { return Bytes{}; }, "EInvalidGraphic"},
    {"FileHeaderCutShort", [] { return Cut(Bmp24With([](BmpFixture&) {}), 10); },
     "EInvalidGraphic"},
    {"WrongMagic",
     [] {
       Bytes file = Bmp24With([](BmpFixture&) {});
       file[1] = 'A';
       return file;
     },
     "EInvalidGraphic"},
    {"InfoHeaderCutShort", [] { return Cut(Bmp24With([](BmpFixture&) {}), 30); },
     "EInvalidGraphic"},
    {"HeaderSize0", [] { return Bmp24With([](BmpFixture& f) { f.header_size = 0; }); },
     "EInvalidGraphic"},
    {"HeaderSize200", [] { return Bmp24With([](BmpFixture& f) { f.header_size = 200; }); },
     "EInvalidGraphic"},
    {"TwoPlanes", [] { return Bmp24With([](BmpFixture& f) { f.planes = 2; }); }, "EInvalidGraphic"},
    {"Width0", [] { return Bmp24With([](BmpFixture& f) { f.width = 0; }); }, "EInvalidGraphic"},
    {"WidthNegative", [] { return Bmp24With([](BmpFixture& f) { f.width = -8; }); },
     "EInvalidGraphic"},
    {"Height0", [] { return Bmp24With([](BmpFixture& f) { f.height = 0; }); }, "EInvalidGraphic"},
    {"HeightMostNegative", [] { return Bmp24With([](BmpFixture& f) { f.height = INT32_MIN; }); },
     "EInvalidGraphic"},
    {"Depth7", [] { return Bmp24With([](BmpFixture& f) { f.bits = 7; }); }, "EInvalidGraphic"},
    {"JpegCompression", [] { return Bmp24With([](BmpFixture& f) { f.compression = 4; }); },
     "EInvalidGraphic"},
    {"Rle8At24Bits",
     [] { return Bmp24With([](BmpFixture& f) { f.compression = platform::BI_RLE8; }); },
     "EInvalidGraphic"},
    {"BitfieldsAt24Bits",
     [] {
       return Bmp24With([](BmpFixture& f) {
         f.compression = platform::BI_BITFIELDS;
         f.masks = {0xFF0000, 0xFF00, 0xFF};
       });
     },
     "EInvalidGraphic"},
    // Colour tables and bit-field masks.
    {"Uses257Colours",
     [] {
       BmpFixture f;
       f.bits = 8;
       f.colours_used = 257;
       f.colours = tests::TestColours(256);
       f.pixels = Bytes(4, 0);
       return tests::BuildBmp(f);
     },
     "EInvalidGraphic"},
    {"ColourTableCutShort",
     [] {
       BmpFixture f;
       f.bits = 8;
       f.colours = tests::TestColours(3);
       return tests::BuildBmp(f);
     },
     "EInvalidGraphic"},
    {"MaskMissing",
     [] {
       return BitfieldsWith({0xF800, 0, 0x001F});
     },
     "EInvalidGraphic"},
    {"MasksOverlap",
     [] {
       return BitfieldsWith({0xF800, 0x0FE0, 0x001F});
     },
     "EInvalidGraphic"},
    {"MaskWithGap",
     [] {
       return BitfieldsWith({0xF800, 0x05E0, 0x001F});
     },
     "EInvalidGraphic"},
    {"MaskBeyond16Bits",
     [] {
       return BitfieldsWith({0x1F800, 0x07E0, 0x001F});
     },
     "EInvalidGraphic"},
    // Where the pixels are, and whether they are all there.
    {"PixelOffsetInsideHeader", [] { return Bmp24With([](BmpFixture& f) { f.offset = 20; }); },
     "EInvalidGraphic"},
    {"PixelOffsetPastTheEnd", [] { return Bmp24With([](BmpFixture& f) { f.offset = 100000; }); },
     "EInvalidGraphic"},
    {"PixelsCutShort",
     [] {
       const Bytes file = Bmp24With([](BmpFixture&) {});
       return Cut(file, file.size() - 1);
     },
     "EInvalidGraphic"},
    // Run-length codes that leave the picture or never end.
    {"RleRunPastTheRow",
     [] {
       return Rle({9, 1, 0, 1});
     },
     "EInvalidGraphic"},
    {"RleLinesPastTheTop",
     [] {
       return Rle({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
     },
     "EInvalidGraphic"},
    {"RleDeltaPastTheTop",
     [] {
       return Rle({0, 2, 1, 4, 0, 1});
     },
     "EInvalidGraphic"},
    {"RleDeltaPastTheRow",
     [] {
       return Rle({0, 2, 9, 0, 0, 1});
     },
     "EInvalidGraphic"},
    {"RleLiteralsPastTheRow",
     [] {
       return Rle({0, 9, 1, 2, 3, 1, 2, 3, 1, 2, 3, 0, 0, 1});
     },
     "EInvalidGraphic"},
    {"RleWithoutEnd",
     [] {
       return Rle({4, 1, 4, 2});
     },
     "EInvalidGraphic"},
    {"RleCodeCutInHalf",
     [] {
       return Rle({4, 1, 0});
     },
     "EInvalidGraphic"},
    {"Rle4RunPastTheRow",
     [] {
       return Rle({9, 0x12, 0, 1}, 4);
     },
     "EInvalidGraphic"},
    {"RleTopDown",
     [] {
       BmpFixture f;
       f.width = 8;
       f.height = -4;
       f.bits = 8;
       f.compression = platform::BI_RLE8;
       f.colours_used = 4;
       f.colours = tests::TestColours(4);
       f.pixels = {8, 1, 0, 1};
       return tests::BuildBmp(f);
     },
     "EInvalidGraphic"},
    {"RleOfAQuarterGigapixel",
     [] {
       BmpFixture f;
       f.width = 32768;
       f.height = 16384;
       f.bits = 8;
       f.compression = platform::BI_RLE8;
       f.colours_used = 4;
       f.colours = tests::TestColours(4);
       f.pixels = {0, 1};
       return tests::BuildBmp(f);
     },
     "EInvalidGraphic"},
};

class HostileFileTest : public tests::TemporaryFolderTest,
                        public testing::WithParamInterface<HostileFile> {
 protected:
  void RunOn(const std::string& name) {
    const HostileFile& file = GetParam();
    const Bytes bytes = file.bytes();
    const std::string path = PathOf(name);
    tests::WriteBytes(path, bytes);
    const timespec old_time[2] = {{978307200, 0}, {978307200, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old_time, 0), 0);

    const tests::RunResult result = tests::RunTrim({path});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "trim: " + path + ": " + file.error_class + ": " +
                              kMessages.at(file.error_class) + file.detail + "\n");
    EXPECT_EQ(tests::FileBytes(path), bytes);
    struct stat info;
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, 978307200);
    EXPECT_EQ(tests::FolderEntries(folder_), std::set<std::string>{name});
  }
};

class HostilePngTest : public HostileFileTest {};
class HostileBmpTest : public HostileFileTest {};

TEST_P(HostilePngTest, EndsTheRunAndLeavesTheFile) {
  RunOn(std::string(GetParam().name) + ".png");
}

TEST_P(HostileBmpTest, EndsTheRunAndLeavesTheFile) {
  RunOn(std::string(GetParam().name) + ".bmp");
}

std::string CaseName(const testing::TestParamInfo<HostileFile>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Damaged, HostilePngTest, testing::ValuesIn(kPngFiles), CaseName);
INSTANTIATE_TEST_SUITE_P(Damaged, HostileBmpTest, testing::ValuesIn(kBmpFiles), CaseName);

// The undamaged files the cases start from load and are trimmed, so each case fails for
// its own damage alone.
TEST(HostileFileBasesTest, UndamagedFilesLoad) {
  EXPECT_EQ(tests::LoadFailure(Truecolour()), "");
  EXPECT_EQ(tests::LoadFailure(Layered()), "");
  EXPECT_EQ(tests::LoadFailure(WithChunk(TruecolourStart().Chunk("tEXt", {'k', 0, 'v'}))), "");
  EXPECT_EQ(tests::LoadFailure(WithStream(tests::ZlibCompress(TruecolourRows()))), "");
  for (const Bytes& bmp : {Bmp24With([](BmpFixture&) {}), Rle({8, 1, 0, 0, 8, 2, 0, 1}),
                           BitfieldsWith({0xF800, 0x07E0, 0x001F})}) {
    platform::TBitmap bitmap;
    platform::TMemoryStream stream(bmp);
    try {
      bitmap.LoadFromStream(stream);
    } catch (const platform::Exception& error) {
      ADD_FAILURE() << error.ClassName() << ": " << error.Message();
    }
  }
}

}  // namespace
