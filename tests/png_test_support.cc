#include "tests/png_test_support.h"

#include "platform/exception.h"

namespace tests {

std::string LoadFailure(const Bytes& file) {
  try {
    LoadPng(file);
  } catch (const platform::Exception& error) {
    return Failure(error.ClassName(), error.Message());
  }
  return {};
}

int SamplesPerPixel(uint8_t colour_type) {
  switch (colour_type) {
    case 2:
      return 3;
    case 4:
      return 2;
    case 6:
      return 4;
    default:
      return 1;
  }
}

std::vector<std::string> ChunkTypesOf(const Bytes& file) {
  std::vector<std::string> types;
  size_t at = 8;
  while (at + 8 <= file.size()) {
    const uint32_t length = (uint32_t{file[at]} << 24) | (uint32_t{file[at + 1]} << 16) |
                            (uint32_t{file[at + 2]} << 8) | file[at + 3];
    types.emplace_back(reinterpret_cast<const char*>(&file[at + 4]), 4);
    at += 12 + static_cast<size_t>(length);
  }
  return types;
}

}  // namespace tests
