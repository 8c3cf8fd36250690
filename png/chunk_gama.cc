#include "png/chunk_gama.h"

#include <cfenv>
#include <cmath>

#include "platform/bytes.h"
#include "png/exceptions.h"
#include "png/messages.h"
#include "png/png_object.h"

namespace png {

namespace {

// 255 x (i / 255) ^ (1 / (gamma x 2.2)), rounded half to even, in extended precision.
uint8_t GammaLevel(int i, uint32_t value) {
  const long double x = static_cast<long double>(i) / 255.0L;
  const long double exponent = 1.0L / ((static_cast<long double>(value) / 100000.0L) * 2.2L);
  long double power;
  if (exponent == 0.0L) {
    power = 1.0L;
  } else if (x == 0.0L) {
    power = 0.0L;
  } else {
    power = std::exp(exponent * std::log(x));
  }
  // nearbyint follows the rounding mode, which is round-half-to-even by default.
  return static_cast<uint8_t>(std::nearbyint(255.0L * power));
}

uint32_t StoredGammaValue(const TChunk& chunk) {
  return chunk.PayloadSize == 4 ? platform::LoadBe32(chunk.Payload.data()) : 1;
}

}  // namespace

TChunkgAMA::TChunkgAMA(TPNGObject* owner) : ChunkKind(owner) {
  SetGammaValue(1);
}

uint32_t TChunkgAMA::GetGammaValue() {
  const uint32_t value = StoredGammaValue(*this);
  // Data of another length reads as 1, and 1 is what it then holds.
  if (PayloadSize != 4) SetGammaValue(value);
  return value;
}

void TChunkgAMA::SetGammaValue(uint32_t value) {
  if (PayloadSize != 4) SetPayloadSize(4);
  platform::StoreBe32(Payload.data(), value);
}

bool TChunkgAMA::ReadChunk(platform::TStream& stream, const ChunkName& type, int32_t length) {
  const bool result = TChunk::ReadChunk(stream, type, length);
  if (!result) return result;
  const uint32_t value = GetGammaValue();
  if (value == 0) return result;
  for (int i = 0; i < 256; ++i) {
    const uint8_t level = GammaLevel(i, value);
    OwnerImage->DecodeGammaTable[i] = level;
    OwnerImage->EncodeGammaTable[level] = static_cast<uint8_t>(i);
  }
  return result;
}

void TChunkgAMA::CopyFrom(const TChunk& source) {
  const auto* gamma = dynamic_cast<const TChunkgAMA*>(&source);
  if (gamma == nullptr) RaisePngError<EPngError>(kChunkNotCompatible);
  SetGammaValue(StoredGammaValue(*gamma));
}

}  // namespace png
