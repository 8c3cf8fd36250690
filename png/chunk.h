// The base class of every chunk, the chunk framing, and the registry that maps a chunk
// type to its class.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/stream.h"

namespace png {

class TPNGObject;
class TChunkIHDR;

// The four type bytes of a chunk, as they stand in the file.
using ChunkName = std::array<uint8_t, 4>;

ChunkName MakeChunkName(std::string_view text);
// A chunk type as text: its bytes up to the first zero byte.
std::string_view ChunkTypeText(const ChunkName& name);
// Critical chunks have bit 5 of their first byte clear (an upper-case first letter).
inline bool IsCritical(const ChunkName& name) {
  return (name[0] & 0x20) == 0;
}
// The chunk type of a chunk class: its class name without the leading "TChunk".
constexpr std::string_view TypeNameOf(std::string_view class_name) {
  return class_name.size() > 6 ? class_name.substr(6) : std::string_view();
}

class TChunk {
 public:
  static constexpr std::string_view kClassName = "TChunk";

  explicit TChunk(TPNGObject* owner);
  virtual ~TChunk() = default;
  TChunk(const TChunk&) = delete;
  TChunk& operator=(const TChunk&) = delete;

  // The virtual operations, in their slot order.
  virtual std::string_view TypeNameOfClass() const { return TypeNameOf(ClassName()); }
  // Makes this chunk a copy of source; the base copies type and data from any chunk.
  virtual void CopyFrom(const TChunk& source);
  // The virtual constructor: a new chunk of exactly this chunk's class.
  virtual std::unique_ptr<TChunk> NewOfSameClass(TPNGObject* owner) const;
  // Loads the chunk with the stream at its first data byte; raises EPngInvalidCRC when the
  // stored CRC differs (or cannot be read).
  virtual bool ReadChunk(platform::TStream& stream, const ChunkName& type, int32_t length);
  // Writes length, type, data and CRC.
  virtual bool WriteChunk(platform::TStream& stream);

  virtual std::string_view ClassName() const { return kClassName; }

  // Resizes the data, keeping the bytes both sizes share; new bytes are not cleared.
  void SetPayloadSize(int32_t size);
  // Chunk 0 of the owner's list; the platform's invalid-cast error when it is no header.
  TChunkIHDR& OwnerHeader() const;

  // The chunk's data: always PayloadSize + 1 bytes long.
  std::vector<uint8_t> Payload;
  int32_t PayloadSize = 0;
  TPNGObject* OwnerImage;
  ChunkName ChunkType{};
};

// Gives a chunk class its name, its type and its virtual constructor.
template <typename Derived, typename Base = TChunk>
class ChunkKind : public Base {
 public:
  explicit ChunkKind(TPNGObject* owner) : Base(owner) {
    constexpr std::string_view type = TypeNameOf(Derived::kClassName);
    if constexpr (type.size() == 4) this->ChunkType = MakeChunkName(type);
  }

  std::string_view ClassName() const override { return Derived::kClassName; }
  std::unique_ptr<TChunk> NewOfSameClass(TPNGObject* owner) const override {
    return std::make_unique<Derived>(owner);
  }
};

// The end chunk adds nothing to the base class.
class TChunkIEND final : public ChunkKind<TChunkIEND> {
 public:
  static constexpr std::string_view kClassName = "TChunkIEND";
  using ChunkKind::ChunkKind;
};

// The registry of chunk classes, in registration order.
using ChunkFactory = std::unique_ptr<TChunk> (*)(TPNGObject* owner);

void RegisterChunkClass(std::string_view class_name, ChunkFactory make);
template <typename T>
void RegisterChunkClass() {
  RegisterChunkClass(T::kClassName, [](TPNGObject* owner) -> std::unique_ptr<TChunk> {
    return std::make_unique<T>(owner);
  });
}
// IEND, IHDR, IDAT, PLTE, gAMA, tRNS, tIME, tEXt, zTXt, in that order.
void RegisterStandardChunks();
void ReleaseChunkRegistry();
// A new chunk of the first registered class for the type (a plain TChunk when none), with
// all four type bytes as given.
std::unique_ptr<TChunk> MakeChunkFor(TPNGObject* owner, const ChunkName& type);

}  // namespace png
