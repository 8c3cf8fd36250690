#include "png/png_object.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/bytes.h"
#include "platform/gdi.h"
#include "png/chunk_plte.h"
#include "png/chunk_trns.h"
#include "png/exceptions.h"
#include "png/messages.h"

namespace png {

namespace {

constexpr uint8_t kPngSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

bool HasType(const ChunkName& type, std::string_view text) {
  return ChunkTypeText(type) == text;
}

}  // namespace

TPNGObject::TPNGObject() : Chunks(this) {}

TPNGObject::~TPNGObject() {
  DiscardChunks();
  DeleteCachedPalette();
}

std::unique_ptr<platform::TGraphic> TPNGObject::Create() {
  return std::make_unique<TPNGObject>();
}

void TPNGObject::DiscardChunks() {
  ResetGammaTables();
  Chunks.FreeChunks();
}

void TPNGObject::ResetGammaTables() {
  for (int i = 0; i < 256; ++i) {
    DecodeGammaTable[i] = static_cast<uint8_t>(i);
    EncodeGammaTable[i] = static_cast<uint8_t>(i);
  }
}

void TPNGObject::DeleteCachedPalette() {
  if (CachedPalette) platform::DeleteObject(CachedPalette);
  CachedPalette = platform::HPALETTE{};
}

bool TPNGObject::HasImageHeader() const {
  return dynamic_cast<TChunkIHDR*>(Chunks.ChunkAt(0)) != nullptr;
}

TChunkIHDR& TPNGObject::ImageHeader() const {
  auto* header = dynamic_cast<TChunkIHDR*>(Chunks.ChunkAt(0));
  if (header == nullptr) RaisePngError<EPNGHeaderNotPresent>(kHeaderNotPresent);
  return *header;
}

int TPNGObject::Width() const {
  return HasImageHeader() ? static_cast<int>(ImageHeader().Width) : 0;
}

int TPNGObject::Height() const {
  return HasImageHeader() ? static_cast<int>(ImageHeader().Height) : 0;
}

void TPNGObject::SetWidth(int) {
  RaisePngError<EPngError>(kCannotResize);
}

void TPNGObject::SetHeight(int) {
  RaisePngError<EPngError>(kCannotResize);
}

void TPNGObject::SetIdatSizeLimit(uint32_t value) {
  idat_size_limit_ = std::max(value, kMinIdatSizeLimit);
}

void TPNGObject::Assign(const platform::TPersistent& source) {
  if (const auto* png = dynamic_cast<const TPNGObject*>(&source)) {
    CopyFromPng(*png);
  } else if (const auto* bitmap = dynamic_cast<const platform::TBitmap*>(&source)) {
    AssignFromBitmap(*bitmap);
  } else {
    TGraphic::Assign(source);
  }
}

void TPNGObject::CopyFromPng(const TPNGObject& source) {
  if (&source == this) return;
  interlacing_ = source.interlacing_;
  SetIdatSizeLimit(source.idat_size_limit_);
  compression_level_ = source.compression_level_;
  filter_set_ = source.filter_set_;
  // The gamma tables stay the identity of the clear: the copied pixels are corrected already.
  DiscardChunks();
  for (int32_t i = 0; i < source.Chunks.ItemCount(); ++i) {
    const TChunk* original = source.Chunks.ChunkAt(i);
    TChunk* copy = Chunks.Adopt(original->NewOfSameClass(this));
    copy->CopyFrom(*original);
  }
}

void TPNGObject::LoadFromStream(platform::TStream& stream) {
  DiscardChunks();
  uint8_t signature[8];
  if (stream.Read(signature, 8) != 8 || std::memcmp(signature, kPngSignature, 8) != 0) {
    RaisePngError<EPNGInvalidFileHeader>(kInvalidFileHeader);
  }
  bool image_data_seen = false;
  bool first = true;
  for (;;) {
    uint8_t length_bytes[4];
    ChunkName type;
    // A file that ends anywhere inside the length and type fields ends here.
    if (stream.Read(length_bytes, 4) != 4 || stream.Read(type.data(), 4) != 4) {
      RaisePngError<EPngUnexpectedEnd>(kUnexpectedEnd);
    }
    const uint32_t length = platform::LoadBe32(length_bytes);
    if (first && !HasType(type, "IHDR")) RaisePngError<EPNGIHDRNotFirst>(kIhdrNotFirst);
    first = false;
    // Lengths beyond the standard's 2^31 - 1 cannot be real data.
    const bool sane_length = length <= static_cast<uint32_t>(INT32_MAX);

    if (HasType(type, "cHRM") || (HasType(type, "IDAT") && image_data_seen)) {
      if (!sane_length) RaisePngError<EPngInvalidCRC>(kInvalidCrc);
      stream.Seek(static_cast<int64_t>(length) + 4, platform::SeekOrigin::kCurrent);
      continue;
    }
    if (HasType(type, "IDAT")) image_data_seen = true;
    TChunk* chunk = Chunks.Adopt(MakeChunkFor(this, type));
    if (chunk->ClassName() == TChunk::kClassName && IsCritical(type) && type[0] != 0) {
      RaisePngError<EPNGUnknownCriticalChunk>(kUnknownCriticalChunk);
    }
    if (!sane_length) RaisePngError<EPngInvalidCRC>(kInvalidCrc);
    if (!chunk->ReadChunk(stream, type, static_cast<int32_t>(length))) break;
    if (HasType(type, "IEND")) break;
  }
  if (!image_data_seen) RaisePngError<EPNGNoImageData>(kNoImageData);
}

void TPNGObject::SaveToStream(platform::TStream& stream) {
  stream.WriteBuffer(kPngSignature, 8);
  for (int32_t i = 0; i < Chunks.ItemCount(); ++i)
    Chunks.ChunkAt(i)->WriteChunk(stream);
}

TransparencyKind TPNGObject::GetTransparencyKind() const {
  const TChunkIHDR& header = ImageHeader();
  const auto* transparency = Chunks.FirstChunkOfClass<TChunktRNS>();
  switch (header.ColourType) {
    case 0:
    case 2:
      return transparency != nullptr ? TransparencyKind::ColourKey : TransparencyKind::Opaque;
    case 3:
      if (transparency == nullptr) return TransparencyKind::Opaque;
      return transparency->IsColourKey ? TransparencyKind::ColourKey : TransparencyKind::Alpha;
    case 4:
    case 6:
      return TransparencyKind::Alpha;
    default:
      return TransparencyKind::Opaque;
  }
}

platform::COLORREF TPNGObject::GetKeyColour() const {
  const auto* transparency = Chunks.FirstChunkOfClass<TChunktRNS>();
  return transparency != nullptr ? transparency->GetKeyColour() : 0;
}

}  // namespace png
