#include "png/chunk_idat.h"

namespace png {

// Writes the chunk as it stands until the image-data encoder replaces this.
bool TChunkIDAT::WriteChunk(platform::TStream& stream) {
  return TChunk::WriteChunk(stream);
}

}  // namespace png
