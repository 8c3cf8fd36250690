#include "png/chunk.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/bytes.h"
#include "platform/exception.h"
#include "png/chunk_gama.h"
#include "png/chunk_idat.h"
#include "png/chunk_ihdr.h"
#include "png/chunk_plte.h"
#include "png/chunk_text.h"
#include "png/chunk_time.h"
#include "png/chunk_trns.h"
#include "png/crc32.h"
#include "png/exceptions.h"
#include "png/messages.h"
#include "png/png_object.h"

namespace png {

namespace {

struct RegisteredClass {
  std::string type_name;
  ChunkFactory make;
};

std::unique_ptr<std::vector<RegisteredClass>>& ChunkClassRegistry() {
  static std::unique_ptr<std::vector<RegisteredClass>> registry;
  return registry;
}

// Data arrives in pieces of at most this size, so a length field that promises more than
// the file holds never allocates it up front.
constexpr int64_t kReadPiece = 1 << 20;

}  // namespace

ChunkName MakeChunkName(std::string_view text) {
  ChunkName name{};
  // A plain loop: g++ 12 at -O3 wrongly reports std::copy_n here as writing past the array.
  for (size_t i = 0; i < name.size() && i < text.size(); ++i)
    name[i] = static_cast<uint8_t>(text[i]);
  return name;
}

std::string_view ChunkTypeText(const ChunkName& name) {
  const auto* begin = reinterpret_cast<const char*>(name.data());
  return std::string_view(begin, std::find(name.begin(), name.end(), 0) - name.begin());
}

TChunk::TChunk(TPNGObject* owner) : Payload(1), OwnerImage(owner) {}

void TChunk::SetPayloadSize(int32_t size) {
  PayloadSize = std::max(size, 0);
  Payload.resize(static_cast<size_t>(PayloadSize) + 1);
}

TChunkIHDR& TChunk::OwnerHeader() const {
  auto* header = dynamic_cast<TChunkIHDR*>(OwnerImage->Chunks.ChunkAt(0));
  if (header == nullptr) platform::RaiseInvalidCast();
  return *header;
}

void TChunk::CopyFrom(const TChunk& source) {
  ChunkType = source.ChunkType;
  SetPayloadSize(source.PayloadSize);
  std::memcpy(Payload.data(), source.Payload.data(), static_cast<size_t>(PayloadSize));
}

std::unique_ptr<TChunk> TChunk::NewOfSameClass(TPNGObject* owner) const {
  return std::make_unique<TChunk>(owner);
}

bool TChunk::ReadChunk(platform::TStream& stream, const ChunkName& type, int32_t length) {
  // The data must be in the file before it is given memory.
  const int64_t left = stream.Size() - stream.Position();
  if (length < 0 || length > left) RaisePngError<EPngInvalidCRC>(kInvalidCrc);
  SetPayloadSize(0);
  Payload.clear();
  int64_t have = 0;
  while (have < length) {
    const int64_t piece = std::min<int64_t>(length - have, kReadPiece);
    Payload.resize(static_cast<size_t>(have + piece));
    const int64_t got = stream.Read(Payload.data() + have, piece);
    have += std::max<int64_t>(got, 0);
    if (got < piece) RaisePngError<EPngInvalidCRC>(kInvalidCrc);
  }
  SetPayloadSize(length);

  uint8_t stored[4];
  if (stream.Read(stored, 4) != 4) RaisePngError<EPngInvalidCRC>(kInvalidCrc);
  uint32_t crc = Crc32Update(0xFFFFFFFF, type.data(), 4);
  crc = Crc32Update(crc, Payload.data(), PayloadSize) ^ 0xFFFFFFFF;
  if (crc != platform::LoadBe32(stored)) RaisePngError<EPngInvalidCRC>(kInvalidCrc);
  return true;
}

bool TChunk::WriteChunk(platform::TStream& stream) {
  uint8_t frame[4];
  platform::StoreBe32(frame, static_cast<uint32_t>(PayloadSize));
  stream.WriteBuffer(frame, 4);
  stream.WriteBuffer(ChunkType.data(), 4);
  if (PayloadSize != 0) stream.WriteBuffer(Payload.data(), PayloadSize);
  uint32_t crc = Crc32Update(0xFFFFFFFF, ChunkType.data(), 4);
  crc = Crc32Update(crc, Payload.data(), PayloadSize) ^ 0xFFFFFFFF;
  platform::StoreBe32(frame, crc);
  stream.WriteBuffer(frame, 4);
  return true;
}

void RegisterChunkClass(std::string_view class_name, ChunkFactory make) {
  auto& registry = ChunkClassRegistry();
  if (!registry) registry = std::make_unique<std::vector<RegisteredClass>>();
  registry->push_back(RegisteredClass{std::string(TypeNameOf(class_name)), make});
}

void RegisterStandardChunks() {
  RegisterChunkClass<TChunkIEND>();
  RegisterChunkClass<TChunkIHDR>();
  RegisterChunkClass<TChunkIDAT>();
  RegisterChunkClass<TChunkPLTE>();
  RegisterChunkClass<TChunkgAMA>();
  RegisterChunkClass<TChunktRNS>();
  RegisterChunkClass<TChunktIME>();
  RegisterChunkClass<TChunktEXt>();
  RegisterChunkClass<TChunkzTXt>();
}

void ReleaseChunkRegistry() {
  ChunkClassRegistry().reset();
}

std::unique_ptr<TChunk> MakeChunkFor(TPNGObject* owner, const ChunkName& type) {
  std::unique_ptr<TChunk> chunk;
  if (const auto& registry = ChunkClassRegistry()) {
    const std::string_view text = ChunkTypeText(type);
    const auto found = std::find_if(registry->begin(), registry->end(),
                                    [&](const RegisteredClass& c) { return c.type_name == text; });
    if (found != registry->end()) chunk = found->make(owner);
  }
  if (!chunk) chunk = std::make_unique<TChunk>(owner);
  chunk->ChunkType = type;
  return chunk;
}

}  // namespace png
