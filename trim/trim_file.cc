#include "trim/trim_file.h"

#include <memory>

#include "platform/bitmap.h"
#include "platform/file_replace.h"
#include "png/png_object.h"
#include "trim/border.h"
#include "trim/classify_extension.h"
#include "trim/png_road.h"

namespace trim {

namespace {

// The objects of one file, freed in the order they were made however the file ends.
struct FileObjects {
  std::unique_ptr<platform::TBitmap> SourceBitmap = std::make_unique<platform::TBitmap>();
  std::unique_ptr<platform::TBitmap> CroppedBitmap = std::make_unique<platform::TBitmap>();
  // Made for every file, whatever its kind; used by the PNG road only.
  std::unique_ptr<png::TPNGObject> PngImage = MakePngImage();

  ~FileObjects() {
    SourceBitmap.reset();
    CroppedBitmap.reset();
    PngImage.reset();
  }

  static std::unique_ptr<png::TPNGObject> MakePngImage() {
    auto image = std::make_unique<png::TPNGObject>();
    image->SetCompressionLevel(9);
    return image;
  }
};

}  // namespace

void TrimFile(const std::string& path) {
  if (!platform::FileExists(path)) return;
  FileObjects objects;
  const FileKind kind = ClassifyExtension(path);
  if (kind == KindOther) return;

  platform::TBitmap& source = *objects.SourceBitmap;
  if (kind == KindBmp) {
    source.LoadFromFile(path);
  } else {
    LoadPngFile(path, *objects.PngImage, source);
  }

  const ContentBox box = FindContentBox(source);
  const int width = source.Width();
  const int height = source.Height();
  if (box.left <= 0 && box.top <= 0 && box.right >= width - 1 && box.bottom >= height - 1) return;
  // No content row or no content column (a uniform image, stripes, lines of 1 or 2 pixels):
  // there is nothing sensible to keep, so the file stays as it is.
  if (box.right < box.left || box.bottom < box.top) return;

  CropToBox(source, *objects.CroppedBitmap, box);
  if (kind == KindBmp) {
    source.SaveToFile(path);
  } else {
    SavePngFile(path, *objects.PngImage, source);
  }
}

}  // namespace trim
