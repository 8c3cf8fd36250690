// image_size: prints "<path>: <width> x <height>, <pixel format>" for each image named on the
// command line, reading it the way trim does.
#include <cstdio>
#include <string>

#include "platform/bitmap.h"
#include "platform/exception.h"
#include "trim/classify_extension.h"
#include "trim/png_road.h"

namespace {

const char* PixelFormatName(platform::TPixelFormat format) {
  switch (format) {
    case platform::pfDevice:
      return "pfDevice";
    case platform::pf1bit:
      return "pf1bit";
    case platform::pf4bit:
      return "pf4bit";
    case platform::pf8bit:
      return "pf8bit";
    case platform::pf15bit:
      return "pf15bit";
    case platform::pf16bit:
      return "pf16bit";
    case platform::pf24bit:
      return "pf24bit";
    case platform::pf32bit:
      return "pf32bit";
    case platform::pfCustom:
      break;
  }
  return "pfCustom";
}

}  // namespace

int main(int argc, char** argv) {
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string path = argv[i];
    try {
      platform::TBitmap bitmap;
      switch (trim::ClassifyExtension(path)) {
        case trim::KindBmp:
          bitmap.LoadFromFile(path);
          break;
        case trim::KindPng:
          trim::LoadPngFile(path, bitmap);
          break;
        case trim::KindOther:
          throw platform::EInvalidGraphic("Not a BMP or PNG file name");
      }
      std::printf("%s: %d x %d, %s\n", path.c_str(), bitmap.Width(), bitmap.Height(),
                  PixelFormatName(bitmap.PixelFormat()));
    } catch (const platform::Exception& error) {
      std::fprintf(stderr, "image_size: %s: %s: %s\n", path.c_str(),
                   std::string(error.ClassName()).c_str(), error.Message().c_str());
      status = 1;
    }
  }
  return status;
}
