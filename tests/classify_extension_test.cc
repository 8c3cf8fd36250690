// Which paths name BMP and PNG files.
#include <gtest/gtest.h>

#include "trim/classify_extension.h"

namespace {

using trim::ClassifyExtension;
using trim::FileKind;

TEST(ClassifyExtensionTest, KindFollowsTheLastExtension) {
  const struct {
    const char* path;
    FileKind kind;
  } kCases[] = {
      {"photo.bmp", trim::KindBmp},
      {"PHOTO.BMP", trim::KindBmp},
      {"dir/photo.Bmp", trim::KindBmp},
      {"photo.png", trim::KindPng},
      {"/abs/path/Photo.PnG", trim::KindPng},
      // Prefixes of ".BMP.PNG" that start at one of its dots count.
      {"x.b", trim::KindBmp},
      {"x.bm", trim::KindBmp},
      {"x.", trim::KindBmp},
      {"x.p", trim::KindPng},
      {"x.pn", trim::KindPng},
      {"archive.png.bmp", trim::KindBmp},
      {"x.jpg", trim::KindOther},
      {"x.bmpx", trim::KindOther},
      {"x.pngx", trim::KindOther},
      {"x.mp", trim::KindOther},
      {"x.bmp.png.x", trim::KindOther},
      {"noextension", trim::KindOther},
      {"", trim::KindOther},
      // A dot in a folder's name is no extension.
      {"pics.png/photo", trim::KindOther},
      {"pics.bmp/", trim::KindOther},
      {"./photo", trim::KindOther},
      // Backslashes and colons are ordinary characters of a file name.
      {"pics.png\\photo", trim::KindOther},
      {"dir\\photo.bmp", trim::KindBmp},
      {"c:photo.png", trim::KindPng},
      {"x.:", trim::KindOther},
      {"photo.bmp\\", trim::KindOther},
      // Only ASCII letters change case.
      {"x.\xc3\xa9", trim::KindOther},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(ClassifyExtension(c.path), c.kind) << c.path;
}

}  // namespace
