// The text chunks: a keyword with a text, plain (tEXt) or zlib-compressed (zTXt).
#pragma once

#include <string>

#include "png/chunk.h"

namespace png {

class TChunktEXt : public ChunkKind<TChunktEXt> {
 public:
  static constexpr std::string_view kClassName = "TChunktEXt";
  using ChunkKind::ChunkKind;

  // Byte strings, taken from and written to the file unchanged.
  std::string Keyword;
  std::string Text;
};

class TChunkzTXt final : public ChunkKind<TChunkzTXt, TChunktEXt> {
 public:
  static constexpr std::string_view kClassName = "TChunkzTXt";
  using ChunkKind::ChunkKind;
};

}  // namespace png
