// The trim program run on files in a temporary folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "tests/bmp_builder.h"
#include "tests/program_runner.h"

namespace {

namespace fs = std::filesystem;
using platform::RGBQUAD;
using platform::TBitmap;
using platform::TPixelFormat;
using tests::FileBytes;
using tests::FolderEntries;
using tests::RunResult;
using tests::RunTrim;
using tests::WriteBytes;

constexpr RGBQUAD Entry(uint8_t red, uint8_t green, uint8_t blue) {
  return RGBQUAD{blue, green, red, 0};
}

// A picture drawn with letters: letter 'a' + i is colour i of the palette.
using Letters = std::vector<std::string>;

// width x height, a frame of colour 'a' (left, top, right, bottom pixels wide) around a
// pattern of the first `colours` colours with no long runs either way.
Letters Framed(int width, int height, int left, int top, int right, int bottom, int colours) {
  Letters rows(height, std::string(width, 'a'));
  for (int y = top; y < height - bottom; ++y) {
    for (int x = left; x < width - right; ++x) {
      rows[y][x] = static_cast<char>('a' + (colours == 2 ? (x + y) % 2 : (x + 2 * y) % colours));
    }
  }
  return rows;
}

const std::vector<RGBQUAD> kPalette = {Entry(250, 250, 250), Entry(200, 30, 30), Entry(30, 160, 40),
                                       Entry(20, 40, 210),   Entry(240, 200, 0), Entry(90, 90, 90)};

// Saves a picture as a BMP file in a pixel format; indexed formats get kPalette (cut to
// size) as their colour table.
void SavePicture(const fs::path& path, TPixelFormat format, const Letters& rows) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(format);
  if (format == platform::pf1bit) bitmap.SetColourTable({kPalette[0], kPalette[3]});
  if (format == platform::pf4bit || format == platform::pf8bit) bitmap.SetColourTable(kPalette);
  bitmap.SetWidth(static_cast<int>(rows[0].size()));
  bitmap.SetHeight(static_cast<int>(rows.size()));
  bitmap.SetResolution(platform::BmpResolution{3780, 2835});
  const std::vector<RGBQUAD> colours =
      format == platform::pf1bit ? std::vector<RGBQUAD>{kPalette[0], kPalette[3]} : kPalette;
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      const RGBQUAD& c = colours[rows[y][x] - 'a'];
      bitmap.Canvas().SetPixels(x, y, platform::RGB(c.rgbRed, c.rgbGreen, c.rgbBlue));
    }
  }
  bitmap.SaveToFile(path);
}

// The same picture as a top-down 24-bit file, which the platform does not write itself.
void SaveTopDownPicture(const fs::path& path, const Letters& rows) {
  std::vector<std::vector<uint32_t>> values;
  for (const std::string& row : rows) {
    std::vector<uint32_t> line;
    for (const char letter : row) {
      const RGBQUAD& c = kPalette[letter - 'a'];
      line.push_back(c.rgbBlue | (c.rgbGreen << 8) | (c.rgbRed << 16));
    }
    values.push_back(line);
  }
  tests::BmpFixture fixture;
  fixture.width = static_cast<int32_t>(rows[0].size());
  fixture.height = -static_cast<int32_t>(rows.size());
  fixture.x_pels_per_metre = 3780;
  fixture.y_pels_per_metre = 2835;
  fixture.pixels = tests::PackRows(24, values);
  WriteBytes(path, tests::BuildBmp(fixture));
}

class TrimEndToEndTest : public tests::TemporaryFolderTest {
 protected:
  // Loads a BMP file into a fresh bitmap.
  static std::unique_ptr<TBitmap> Load(const std::string& path) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->LoadFromFile(path);
    return bitmap;
  }

  // The trimmed file holds the box of the original, in its format, table and resolution.
  static void ExpectCrop(TBitmap& original, const std::string& path, int left, int top, int width,
                         int height) {
    auto trimmed = Load(path);
    ASSERT_EQ(trimmed->Width(), width);
    ASSERT_EQ(trimmed->Height(), height);
    EXPECT_EQ(trimmed->PixelFormat(), original.PixelFormat());
    EXPECT_EQ(trimmed->ColourTable(), original.ColourTable());
    EXPECT_EQ(trimmed->Resolution().x_pels_per_metre, original.Resolution().x_pels_per_metre);
    EXPECT_EQ(trimmed->Resolution().y_pels_per_metre, original.Resolution().y_pels_per_metre);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        ASSERT_EQ(trimmed->Canvas().Pixels(x, y), original.Canvas().Pixels(x + left, y + top))
            << "at " << x << ", " << y;
      }
    }
  }
};

TEST_F(TrimEndToEndTest, NoArgumentsDoNothing) {
  const RunResult result = RunTrim({});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
}

TEST_F(TrimEndToEndTest, TrimsEveryBmpKind) {
  const struct {
    const char* name;
    TPixelFormat format;
    int colours;
  } kKinds[] = {
      {"1bit.bmp", platform::pf1bit, 2},   {"4bit.bmp", platform::pf4bit, 6},
      {"8bit.bmp", platform::pf8bit, 6},   {"15bit.bmp", platform::pf15bit, 6},
      {"16bit.bmp", platform::pf16bit, 6}, {"24bit.bmp", platform::pf24bit, 6},
      {"32bit.bmp", platform::pf32bit, 6},
  };
  const Letters picture = Framed(40, 30, 3, 2, 5, 4, 6);
  std::vector<std::string> paths;
  for (const auto& kind : kKinds) {
    paths.push_back(PathOf(kind.name));
    SavePicture(paths.back(), kind.format, Framed(40, 30, 3, 2, 5, 4, kind.colours));
  }
  paths.push_back(PathOf("topdown.bmp"));
  SaveTopDownPicture(paths.back(), picture);

  std::vector<std::unique_ptr<TBitmap>> originals;
  for (const std::string& path : paths)
    originals.push_back(Load(path));
  const RunResult result = RunTrim(paths);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  for (size_t i = 0; i < paths.size(); ++i) {
    SCOPED_TRACE(paths[i]);
    ExpectCrop(*originals[i], paths[i], 3, 2, 32, 24);
  }
}

TEST_F(TrimEndToEndTest, SkipsMissingPathsFoldersAndOtherKinds) {
  fs::create_directory(folder_ / "folder.bmp");
  SavePicture(PathOf("framed.txt"), platform::pf24bit, Framed(20, 20, 2, 2, 2, 2, 5));
  SavePicture(PathOf("last.bmp"), platform::pf24bit, Framed(20, 20, 2, 2, 2, 2, 5));
  const std::vector<uint8_t> other = FileBytes(PathOf("framed.txt"));

  const RunResult result = RunTrim({PathOf("missing.bmp"), "-h", "--", PathOf("folder.bmp"),
                                    PathOf("framed.txt"), PathOf("last.bmp")});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(FileBytes(PathOf("framed.txt")), other);
  EXPECT_EQ(Load(PathOf("last.bmp"))->Width(), 16);
}

// Files with nothing to trim, or nothing sensible to keep, are not written at all.
TEST_F(TrimEndToEndTest, LeavesFilesWithoutBorderUntouched) {
  const struct {
    const char* name;
    Letters rows;
  } kCases[] = {
      {"no-border.bmp", Framed(20, 12, 0, 0, 0, 0, 5)},
      {"uniform.bmp", Letters(6, std::string(9, 'c'))},
      {"stripes.bmp", Letters(8, "abababababab")},
      {"two-high.bmp", {"abcabcabc", "bcabcabca"}},
      {"one-pixel.bmp", {"d"}},
  };
  std::vector<std::string> paths;
  for (const auto& c : kCases) {
    paths.push_back(PathOf(c.name));
    SavePicture(paths.back(), platform::pf24bit, c.rows);
    // An old modification time, so that a rewrite in the same second would show.
    const timespec times[2] = {{978307200, 0}, {978307200, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, paths.back().c_str(), times, 0), 0);
  }
  std::vector<std::vector<uint8_t>> before;
  for (const std::string& path : paths)
    before.push_back(FileBytes(path));

  const RunResult result = RunTrim(paths);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  for (size_t i = 0; i < paths.size(); ++i) {
    EXPECT_EQ(FileBytes(paths[i]), before[i]) << paths[i];
    struct stat info;
    ASSERT_EQ(::stat(paths[i].c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, 978307200) << paths[i];
  }
}

// The threshold follows the image's size, so a second pass over a trimmed file may find
// a new border row.
TEST_F(TrimEndToEndTest, SameFileTwiceMayTrimFurther) {
  Letters rows = Framed(20, 12, 2, 0, 0, 0, 5);
  // 16 of 20 pixels alike: content at width 20, border once 18 wide.
  rows[0] = "aa" + std::string(16, 'c') + "bd";
  const std::string path = PathOf("twice.bmp");
  SavePicture(path, platform::pf24bit, rows);
  auto original = Load(path);

  const RunResult result = RunTrim({path, path});
  EXPECT_EQ(result.status, 0);
  ExpectCrop(*original, path, 2, 1, 18, 11);
}

TEST_F(TrimEndToEndTest, FirstErrorEndsTheRun) {
  // A bit-field layout that the crop cannot give to a new bitmap.
  tests::BmpFixture custom;
  custom.width = 8;
  custom.height = 8;
  custom.bits = 32;
  custom.compression = platform::BI_BITFIELDS;
  custom.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
  std::vector<std::vector<uint32_t>> values(8, std::vector<uint32_t>(8, 0x00FFFFFF));
  for (int y = 2; y < 6; ++y) {
    for (int x = 2; x < 6; ++x)
      values[y][x] = static_cast<uint32_t>((x + y) % 2 ? 0xFF : 0xFF00);
  }
  custom.pixels = tests::PackRows(32, values);

  const std::vector<uint8_t> png_signature = {0x89, 'P',  'N', 'G', '\r', '\n',
                                              0x1A, '\n', 0,   0,   0,    13};
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* report;
  } kCases[] = {
      {"png-named.bmp", png_signature, "EInvalidGraphic: Bitmap image is not valid"},
      {"garbage.b", {'B', 'M', 1, 2, 3}, "EInvalidGraphic: Bitmap image is not valid"},
      {"custom.bmp", tests::BuildBmp(custom), "EInvalidGraphic: Invalid pixel format"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string first = PathOf("first.bmp");
    const std::string bad = PathOf(c.name);
    const std::string later = PathOf("later.bmp");
    SavePicture(first, platform::pf24bit, Framed(10, 10, 1, 1, 1, 1, 5));
    SavePicture(later, platform::pf24bit, Framed(10, 10, 1, 1, 1, 1, 5));
    WriteBytes(bad, c.bytes);
    const std::vector<uint8_t> later_bytes = FileBytes(later);

    const RunResult result = RunTrim({first, bad, later});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "trim: " + bad + ": " + c.report + "\n");
    EXPECT_EQ(Load(first)->Width(), 8);
    EXPECT_EQ(FileBytes(bad), c.bytes);
    EXPECT_EQ(FileBytes(later), later_bytes);
  }
}

// A save that cannot complete leaves the original as it was and no temporary file behind.
TEST_F(TrimEndToEndTest, FailedSaveKeepsTheOriginal) {
  const std::string path = PathOf("big.bmp");
  SavePicture(path, platform::pf24bit, Framed(60, 60, 1, 1, 1, 1, 5));
  const std::vector<uint8_t> before = FileBytes(path);
  const std::set<std::string> entries = FolderEntries(folder_);

  const RunResult result = RunTrim({path}, rlim_t{4096});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err.rfind("trim: " + path + ": EWriteError: ", 0), 0u) << result.err;
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1);
  EXPECT_EQ(FileBytes(path), before);
  EXPECT_EQ(FolderEntries(folder_), entries);
}

TEST_F(TrimEndToEndTest, ReadOnlyFolderKeepsTheOriginal) {
  if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root";
  const std::string path = PathOf("locked.bmp");
  SavePicture(path, platform::pf24bit, Framed(12, 12, 1, 1, 1, 1, 5));
  const std::vector<uint8_t> before = FileBytes(path);
  fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);

  const RunResult result = RunTrim({path});
  fs::permissions(folder_, fs::perms::owner_all);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err.rfind("trim: " + path + ": EFCreateError: ", 0), 0u) << result.err;
  EXPECT_EQ(FileBytes(path), before);
  EXPECT_EQ(FolderEntries(folder_), std::set<std::string>{"locked.bmp"});
}

// Through a symbolic link the file it points to is replaced; the link stays a link and the
// file keeps its permission bits.
TEST_F(TrimEndToEndTest, RewritesThroughLinksAndKeepsPermissions) {
  fs::create_directory(folder_ / "real");
  const std::string target = PathOf("real/target.bmp");
  SavePicture(target, platform::pf8bit, Framed(16, 16, 2, 2, 2, 2, 6));
  ::chmod(target.c_str(), 0640);
  auto original = Load(target);
  const std::string link = PathOf("link.bmp");
  fs::create_symlink("real/target.bmp", link);

  const RunResult result = RunTrim({link});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), "real/target.bmp");
  ExpectCrop(*original, target, 2, 2, 12, 12);
  struct stat info;
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(FolderEntries(folder_ / "real"), std::set<std::string>{"target.bmp"});
  EXPECT_EQ(FolderEntries(folder_), (std::set<std::string>{"link.bmp", "real"}));
}

}  // namespace
