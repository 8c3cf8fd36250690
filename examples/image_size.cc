// image_size: prints "<path>: <width> x <height>, <pixel format>" for each image named on the
// command line, reading it the way trim does.
#include <cstdio>
#include <string>

#include "platform/bitmap.h"
#include "platform/exception.h"
#include "png/module.h"
#include "png/png_object.h"
#include "trim/classify_extension.h"

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

// The PNG header's own description: colour type, bit depth and interlacing.
std::string PngDescription(const png::TPNGObject& image) {
  static const char* const kColourTypes[] = {"greyscale",  "?", "truecolour",      "indexed",
                                             "grey+alpha", "?", "truecolour+alpha"};
  const png::TChunkIHDR& header = image.ImageHeader();
  const char* type = header.ColourType < 7 ? kColourTypes[header.ColourType] : "?";
  return std::string("PNG ") + type + ", " + std::to_string(header.BitDepth) + " bits" +
         (header.InterlaceMethod == 1 ? ", interlaced" : "");
}

}  // namespace

int main(int argc, char** argv) {
  const png::CodecModule codec;
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string path = argv[i];
    try {
      std::string description;
      platform::TBitmap bitmap;
      switch (trim::ClassifyExtension(path)) {
        case trim::KindBmp:
          bitmap.LoadFromFile(path);
          description = std::string("BMP ") + PixelFormatName(bitmap.PixelFormat());
          break;
        case trim::KindPng: {
          png::TPNGObject image;
          image.LoadFromFile(path);
          bitmap.Assign(image);
          description = PngDescription(image);
          break;
        }
        case trim::KindOther:
          throw platform::EInvalidGraphic("Not a BMP or PNG file name");
      }
      std::printf("%s: %d x %d, %s\n", path.c_str(), bitmap.Width(), bitmap.Height(),
                  description.c_str());
    } catch (const platform::Exception& error) {
      std::fprintf(stderr, "image_size: %s: %s: %s\n", path.c_str(),
                   std::string(error.ClassName()).c_str(), error.Message().c_str());
      status = 1;
    }
  }
  return status;
}
