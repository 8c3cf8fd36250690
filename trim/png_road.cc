#include "trim/png_road.h"

#include "platform/exception.h"

namespace trim {

void LoadPngFile(const std::string&, platform::TBitmap&) {
  throw platform::EInvalidGraphic("PNG files are not supported yet");
}

void SavePngFile(const std::string&, platform::TBitmap&) {
  throw platform::EInvalidGraphic("PNG files are not supported yet");
}

}  // namespace trim
