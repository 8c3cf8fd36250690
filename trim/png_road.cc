#include "trim/png_road.h"

namespace trim {

void LoadPngFile(const std::string& path, png::TPNGObject& image, platform::TBitmap& bitmap) {
  image.LoadFromFile(path);
  bitmap.Assign(image);
}

void SavePngFile(const std::string& path, png::TPNGObject& image, platform::TBitmap& bitmap) {
  image.Assign(bitmap);
  image.SaveToFile(path);
}

}  // namespace trim
