#include "fuzz/fuzz_targets.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/exception.h"
#include "png/png_object.h"
#include "trim/border.h"
#include "trim/trim_file.h"

namespace fuzz {
namespace {

std::string MakeFolder() {
  std::string pattern = "/tmp/trim-fuzz-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  return pattern;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size != 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  if (std::fclose(file) != 0) std::abort();
}

}  // namespace

void PngLoad(const uint8_t* data, size_t size) {
  png::TPNGObject image;
  platform::TMemoryStream input(std::vector<uint8_t>(data, data + size));
  try {
    image.LoadFromStream(input);
    platform::TBitmap bitmap;
    bitmap.Assign(image);
    platform::TMemoryStream output;
    image.SaveToStream(output);
    if (!bitmap.Empty()) {
      image.Assign(bitmap);
      image.SaveToStream(output);
    }
  } catch (const platform::Exception&) {
  }
}

void BmpTrim(const uint8_t* data, size_t size) {
  platform::TBitmap bitmap;
  platform::TMemoryStream input(std::vector<uint8_t>(data, data + size));
  try {
    bitmap.LoadFromStream(input);
    const trim::ContentBox box = trim::FindContentBox(bitmap);
    if (box.right >= box.left && box.bottom >= box.top) {
      platform::TBitmap cropped;
      trim::CropToBox(bitmap, cropped, box);
    }
    platform::TMemoryStream output;
    bitmap.SaveToStream(output);
  } catch (const platform::Exception&) {
  }
}

void TrimFile(const uint8_t* data, size_t size) {
  // One folder for the whole process; the file is removed after every input.
  static const std::string folder = MakeFolder();
  const bool bmp = size > 0 && data[0] == 'B';
  const std::string path = folder + (bmp ? "/image.bmp" : "/image.png");
  WriteFile(path, data, size);
  try {
    trim::TrimFile(path);
  } catch (const platform::Exception&) {
  }
  unlink(path.c_str());
}

}  // namespace fuzz
