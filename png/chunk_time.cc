#include "png/chunk_time.h"

#include "platform/bytes.h"

namespace png {

namespace {

constexpr int32_t kTimeSize = 7;

}  // namespace

void TChunktIME::CopyFrom(const TChunk& source) {
  TChunk::CopyFrom(source);
  // The save writes from the fields, so the data alone would come back as a time of zeros.
  if (const auto* time = dynamic_cast<const TChunktIME*>(&source)) {
    Year = time->Year;
    Month = time->Month;
    Day = time->Day;
    Hour = time->Hour;
    Minute = time->Minute;
    Second = time->Second;
  }
}

bool TChunktIME::ReadChunk(platform::TStream& stream, const ChunkName& type, int32_t length) {
  const bool result = TChunk::ReadChunk(stream, type, length);
  if (!result || length != kTimeSize) return result;
  const uint8_t* data = Payload.data();
  Year = platform::LoadBe16(data);
  Month = data[2];
  Day = data[3];
  Hour = data[4];
  Minute = data[5];
  Second = data[6];
  return result;
}

bool TChunktIME::WriteChunk(platform::TStream& stream) {
  SetPayloadSize(kTimeSize);
  uint8_t* data = Payload.data();
  platform::StoreBe16(data, Year);
  data[2] = Month;
  data[3] = Day;
  data[4] = Hour;
  data[5] = Minute;
  data[6] = Second;
  return TChunk::WriteChunk(stream);
}

}  // namespace png
