#include "platform/picture_registry.h"

#include <algorithm>
#include <cctype>

namespace platform {

namespace {

std::vector<GraphicFileFormat>& Formats() {
  static std::vector<GraphicFileFormat> formats;
  return formats;
}

bool SameExtension(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::toupper(static_cast<unsigned char>(x)) ==
           std::toupper(static_cast<unsigned char>(y));
  });
}

}  // namespace

void RegisterFileFormat(std::string_view extension, std::string_view description,
                        std::string_view class_name, GraphicFactory make) {
  Formats().push_back(GraphicFileFormat{std::string(extension), std::string(description),
                                        std::string(class_name), make});
}

void UnregisterFileFormat(std::string_view class_name) {
  std::erase_if(Formats(),
                [&](const GraphicFileFormat& format) { return format.class_name == class_name; });
}

const GraphicFileFormat* FindFileFormat(std::string_view extension) {
  if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
  for (const GraphicFileFormat& format : Formats()) {
    if (SameExtension(format.extension, extension)) return &format;
  }
  return nullptr;
}

const std::vector<GraphicFileFormat>& RegisteredFileFormats() {
  return Formats();
}

}  // namespace platform
