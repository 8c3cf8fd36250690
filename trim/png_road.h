// The PNG road of the tool: PNG files to and from a platform bitmap, through the codec's
// image object.
#pragma once

#include <string>

#include "platform/bitmap.h"
#include "png/png_object.h"

namespace trim {

// Loads the PNG file at path into image and converts it into bitmap.
void LoadPngFile(const std::string& path, png::TPNGObject& image, platform::TBitmap& bitmap);
// Rebuilds image from bitmap (header, palette, image data, end) and saves it over the file
// at path with the image's settings.
void SavePngFile(const std::string& path, png::TPNGObject& image, platform::TBitmap& bitmap);

}  // namespace trim
