// The text chunks: a keyword with a text, plain (tEXt) or zlib-compressed (zTXt).
#pragma once

#include <string>

#include "png/chunk.h"

namespace png {

class TChunktEXt : public ChunkKind<TChunktEXt> {
 public:
  static constexpr std::string_view kClassName = "TChunktEXt";
  using ChunkKind::ChunkKind;

  // Copies keyword and text from another text chunk; the save rebuilds the data.
  void CopyFrom(const TChunk& source) override;
  // Data shorter than 3 bytes leaves both fields as they were.
  bool ReadChunk(platform::TStream& stream, const ChunkName& type, int32_t length) override;
  bool WriteChunk(platform::TStream& stream) override;

  // Byte strings, taken from and written to the file unchanged.
  std::string Keyword;
  std::string Text;
};

// Text holds the decompressed text. A text that does not decompress (or whose method is not
// 0, zlib) loads empty; one that does not compress is left out of the file.
class TChunkzTXt final : public ChunkKind<TChunkzTXt, TChunktEXt> {
 public:
  static constexpr std::string_view kClassName = "TChunkzTXt";
  using ChunkKind::ChunkKind;

  bool ReadChunk(platform::TStream& stream, const ChunkName& type, int32_t length) override;
  // An empty text is saved, and kept, as one space.
  bool WriteChunk(platform::TStream& stream) override;
};

}  // namespace png
