// The registry of graphic file formats: which graphic class reads files of an extension.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/graphic.h"

namespace platform {

// Makes a new, empty graphic of one class.
using GraphicFactory = std::unique_ptr<TGraphic> (*)();

struct GraphicFileFormat {
  std::string extension;    // without the dot, as registered ("PNG")
  std::string description;  // ("Portable Network Graphics")
  std::string class_name;
  GraphicFactory make = nullptr;
};

void RegisterFileFormat(std::string_view extension, std::string_view description,
                        std::string_view class_name, GraphicFactory make);
// Withdraws every format of a class.
void UnregisterFileFormat(std::string_view class_name);
// The format registered for an extension (with or without its dot, any case); none when
// nothing is registered for it.
const GraphicFileFormat* FindFileFormat(std::string_view extension);
const std::vector<GraphicFileFormat>& RegisteredFileFormats();

}  // namespace platform
