// The PNG road of the tool: PNG files to and from a platform bitmap.
#pragma once

#include <string>

#include "platform/bitmap.h"

namespace trim {

// Loads the PNG file at path into bitmap.
void LoadPngFile(const std::string& path, platform::TBitmap& bitmap);
// Writes bitmap over the file at path as a PNG file.
void SavePngFile(const std::string& path, platform::TBitmap& bitmap);

}  // namespace trim
