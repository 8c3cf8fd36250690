// Placeholder until the image-data decoder and encoder land: IDAT loads and saves raw.
#include "png/chunk_idat.h"

namespace png {

bool TChunkIDAT::ReadChunk(platform::TStream& stream, const ChunkName& type, int32_t length) {
  return TChunk::ReadChunk(stream, type, length);
}

bool TChunkIDAT::WriteChunk(platform::TStream& stream) {
  return TChunk::WriteChunk(stream);
}

}  // namespace png
