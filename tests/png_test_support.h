// Loading and saving PNG images in memory for tests.
#pragma once

#include <memory>

#include "platform/stream.h"
#include "png/png_object.h"
#include "tests/png_builder.h"

namespace tests {

// Loads bytes into a new image; exceptions pass on.
inline std::unique_ptr<png::TPNGObject> LoadPng(const Bytes& bytes) {
  auto image = std::make_unique<png::TPNGObject>();
  platform::TMemoryStream stream(bytes);
  image->LoadFromStream(stream);
  return image;
}

inline Bytes SavePng(png::TPNGObject& image) {
  platform::TMemoryStream stream;
  image.SaveToStream(stream);
  return stream.Bytes();
}

// The chunk types of a PNG file, in order.
std::vector<std::string> ChunkTypesOf(const Bytes& file);

}  // namespace tests
