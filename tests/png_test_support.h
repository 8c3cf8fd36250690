// Loading and saving PNG images in memory for tests.
#pragma once

#include <memory>
#include <string>
#include <string_view>

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

// The class and message of what loading the bytes raises, as "Class: message"; empty when
// the bytes load.
std::string LoadFailure(const Bytes& file);
// The same text for an expected class and message.
inline std::string Failure(std::string_view class_name, std::string_view message) {
  return std::string(class_name) + ": " + std::string(message);
}

// Samples per pixel of a PNG colour type.
int SamplesPerPixel(uint8_t colour_type);

// The chunk types of a PNG file, in order.
std::vector<std::string> ChunkTypesOf(const Bytes& file);

}  // namespace tests
