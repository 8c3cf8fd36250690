// The trim program over many files: thousands in one run, batches in parallel, and two
// runs on the same file at once.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/bitmap.h"
#include "tests/bmp_builder.h"
#include "tests/png_builder.h"
#include "tests/png_test_support.h"
#include "tests/program_runner.h"

namespace {

namespace fs = std::filesystem;
using tests::Bytes;
using tests::FileBytes;
using tests::RunResult;

// A small picture with a frame of margin pixels of value 0 around values 1 to levels - 1
// that never run long either way.
std::vector<std::vector<uint32_t>> FramedValues(int width, int height, int margin, int levels) {
  std::vector<std::vector<uint32_t>> rows(height, std::vector<uint32_t>(width, 0));
  for (int y = margin; y < height - margin; ++y) {
    for (int x = margin; x < width - margin; ++x)
      rows[y][x] = static_cast<uint32_t>(1 + (x + 3 * y) % (levels - 1));
  }
  return rows;
}

Bytes FramedBmp(int bits, int width, int height, int margin) {
  tests::BmpFixture fixture;
  fixture.width = width;
  fixture.height = height;
  fixture.bits = static_cast<uint16_t>(bits);
  auto rows = FramedValues(width, height, margin, 7);
  if (bits <= 8) {
    fixture.colours_used = 7;
    fixture.colours = tests::TestColours(7);
  } else {
    for (auto& row : rows) {
      for (uint32_t& value : row)
        value = value * 0x243F6A ^ 0x85A308;
    }
  }
  fixture.pixels = tests::PackRows(bits, rows);
  return tests::BuildBmp(fixture);
}

// An 8-bit PNG of colour type 0, 2, 3 or 6 (a palette of 7 colours for type 3).
Bytes FramedPng(uint8_t colour_type, uint32_t width, uint32_t height, int margin) {
  const int channels = tests::SamplesPerPixel(colour_type);
  Bytes raw;
  for (const auto& row :
       FramedValues(static_cast<int>(width), static_cast<int>(height), margin, 7)) {
    raw.push_back(0);
    for (const uint32_t value : row) {
      for (int c = 0; c < channels; ++c) {
        const bool alpha = colour_type == 6 && c == 3;
        raw.push_back(alpha              ? 255
                      : colour_type == 3 ? value
                                         : static_cast<uint8_t>(value * 36 + c * 70));
      }
    }
  }
  tests::PngBuilder builder;
  builder.Ihdr(width, height, 8, colour_type);
  if (colour_type == 3) {
    Bytes palette;
    for (int i = 0; i < 7; ++i)
      palette.insert(palette.end(),
                     {static_cast<uint8_t>(i * 36), static_cast<uint8_t>(250 - i * 30), 90});
    builder.Chunk("PLTE", palette);
  }
  return builder.Idat(raw).Iend().Data();
}

// The kinds of file a batch mixes: BMP files of 4, 8 and 24 bits, PNG files of grey,
// truecolour, palette and truecolour with alpha, in two sizes each.
struct Kind {
  std::string extension;
  Bytes bytes;
  int trimmed_width;
  int trimmed_height;
};

std::vector<Kind> Kinds() {
  std::vector<Kind> kinds;
  for (const int size : {0, 1}) {
    const int width = 17 + 9 * size;
    const int height = 13 + 7 * size;
    const int margin = 1 + size;
    const int inner_width = width - 2 * margin;
    const int inner_height = height - 2 * margin;
    for (const int bits : {4, 8, 24})
      kinds.push_back({".bmp", FramedBmp(bits, width, height, margin), inner_width, inner_height});
    for (const uint8_t colour_type : {0, 2, 3, 6}) {
      kinds.push_back(
          {".png", FramedPng(colour_type, width, height, margin), inner_width, inner_height});
    }
  }
  return kinds;
}

// Width and height of an image file, read by our own loaders.
std::pair<int, int> SizeOf(const std::string& path) {
  if (path.ends_with(".png")) {
    const auto image = tests::LoadPng(FileBytes(path));
    return {image->Width(), image->Height()};
  }
  platform::TBitmap bitmap;
  bitmap.LoadFromFile(path);
  return {bitmap.Width(), bitmap.Height()};
}

// LeakSanitizer checks every child of the sanitizer build at its exit, whatever the
// options the tests were started with.
class LeaksChecked {
 public:
  LeaksChecked() {
    if (const char* options = std::getenv("ASAN_OPTIONS")) saved_ = options;
    ::setenv("ASAN_OPTIONS", (saved_.value_or("") + ":detect_leaks=1").c_str(), 1);
  }
  ~LeaksChecked() {
    if (saved_) {
      ::setenv("ASAN_OPTIONS", saved_->c_str(), 1);
    } else {
      ::unsetenv("ASAN_OPTIONS");
    }
  }
  LeaksChecked(const LeaksChecked&) = delete;
  LeaksChecked& operator=(const LeaksChecked&) = delete;

 private:
  std::optional<std::string> saved_;
};

class BatchTest : public tests::TemporaryFolderTest {
 protected:
  // Every save is forced to the disk, which makes thousands of them take a minute on a real
  // one; files in memory keep these tests about memory and concurrency.
  fs::path ParentFolder() const override {
    std::error_code error;
    if (fs::is_directory("/dev/shm", error) && ::access("/dev/shm", W_OK) == 0) return "/dev/shm";
    return TemporaryFolderTest::ParentFolder();
  }

  void SetUp() override {
    TemporaryFolderTest::SetUp();
    kinds_ = Kinds();
    // Each kind trimmed alone, in a process of its own, is what every file of that kind
    // must become in a batch.
    const fs::path folder = folder_ / "reference";
    fs::create_directory(folder);
    for (size_t k = 0; k < kinds_.size(); ++k) {
      const std::string path =
          (folder / ("kind" + std::to_string(k) + kinds_[k].extension)).string();
      tests::WriteBytes(path, kinds_[k].bytes);
      ASSERT_EQ(tests::RunTrim({path}).status, 0) << path;
      ASSERT_EQ(SizeOf(path), std::make_pair(kinds_[k].trimmed_width, kinds_[k].trimmed_height))
          << path;
      trimmed_.push_back(FileBytes(path));
    }
  }

  // Writes count files into a new folder, file i of kind i modulo the number of kinds, so
  // that neighbours in a run differ in format and size.
  std::vector<std::string> WriteFiles(const std::string& folder_name, int count) {
    const fs::path folder = folder_ / folder_name;
    fs::create_directory(folder);
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
      const Kind& kind = kinds_[i % kinds_.size()];
      paths.push_back((folder / ("f" + std::to_string(i) + kind.extension)).string());
      tests::WriteBytes(paths.back(), kind.bytes);
    }
    return paths;
  }

  // How many of the files were trimmed as their kind is, and how many are untouched; every
  // file is one or the other.
  std::pair<int, int> CountTrimmed(const std::vector<std::string>& paths) {
    int trimmed = 0;
    int untouched = 0;
    for (size_t i = 0; i < paths.size(); ++i) {
      const Bytes bytes = FileBytes(paths[i]);
      const size_t k = i % kinds_.size();
      if (bytes == trimmed_[k]) {
        ++trimmed;
      } else if (bytes == kinds_[k].bytes) {
        ++untouched;
      } else {
        ADD_FAILURE() << paths[i] << " is neither the original nor the trimmed image";
      }
    }
    return {trimmed, untouched};
  }

  // Runs trim over the paths from a small process that reports the run's peak memory, in
  // kilobytes.
  long RunMeasured(const std::vector<std::string>& paths) {
    std::vector<std::string> argv{PEAK_RSS_BINARY, TRIM_BINARY};
    argv.insert(argv.end(), paths.begin(), paths.end());
    const RunResult result = tests::RunProgram(argv);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    // Nothing but the figure: trim itself writes nothing to standard output.
    char* end = nullptr;
    const long peak = std::strtol(result.out.c_str(), &end, 10);
    EXPECT_EQ(std::string(end), "\n") << result.out;
    return peak;
  }

  std::vector<Kind> kinds_;
  std::vector<Bytes> trimmed_;
};

// One run trims ten thousand files, and its memory does not grow with their number. Under
// the sanitizers, where freed memory is held back on purpose, LeakSanitizer checks the
// run's leaks instead of the peak, and the run is shorter.
TEST_F(BatchTest, OneRunTrimsThousandsOfFilesInFlatMemory) {
  const int count = tests::kSanitizerBuild ? 2000 : 10000;
  const LeaksChecked leaks_checked;
  const std::vector<std::string> few = WriteFiles("few", count / 10);
  const std::vector<std::string> many = WriteFiles("many", count);

  const long few_peak = RunMeasured(few);
  const long many_peak = RunMeasured(many);
  EXPECT_EQ(CountTrimmed(few), std::make_pair(count / 10, 0));
  EXPECT_EQ(CountTrimmed(many), std::make_pair(count, 0));
  if (!tests::kSanitizerBuild) {
    EXPECT_LT(many_peak - few_peak, 8 * 1024)
        << "peak of " << few.size() << " files: " << few_peak << " kB, of " << many.size() << ": "
        << many_peak << " kB";
  }
}

// The parallel batches of the README: every file is trimmed. With one broken file, that
// file's batch stops there (the files after it in the batch stay as they were), the other
// batches are trimmed in full and xargs ends with status 123.
TEST_F(BatchTest, ParallelBatchesOfFindAndXargs) {
  const int count = tests::kSanitizerBuild ? 600 : 2000;
  const std::string command =
      "find \"$1\" -type f \\( -iname '*.png' -o -iname '*.bmp' \\) -print0 | "
      "xargs -0 -P 8 -n 100 \"$2\"";
  const LeaksChecked leaks_checked;

  const std::vector<std::string> sound = WriteFiles("sound", count);
  const RunResult all_good =
      tests::RunProgram({"sh", "-c", command, "sh", (folder_ / "sound").string(), TRIM_BINARY});
  EXPECT_EQ(all_good.status, 0);
  EXPECT_EQ(all_good.err, "");
  EXPECT_EQ(CountTrimmed(sound), std::make_pair(count, 0));

  const std::vector<std::string> mixed = WriteFiles("mixed", count);
  const std::string broken = (folder_ / "mixed" / "broken.png").string();
  tests::WriteBytes(broken, {'n', 'o', 't', ' ', 'P', 'N', 'G'});
  const RunResult one_bad =
      tests::RunProgram({"sh", "-c", command, "sh", (folder_ / "mixed").string(), TRIM_BINARY});
  EXPECT_EQ(one_bad.status, 123);
  EXPECT_EQ(one_bad.err.rfind("trim: " + broken + ": EPNGInvalidFileHeader: ", 0), 0u)
      << one_bad.err;
  EXPECT_EQ(std::count(one_bad.err.begin(), one_bad.err.end(), '\n'), 1);
  const auto [trimmed, untouched] = CountTrimmed(mixed);
  EXPECT_EQ(trimmed + untouched, count);
  EXPECT_LE(untouched, 99);
}

// Two runs on the same file at once: whichever renames last wins, and the file is the image
// trimmed once or, when the second read the first one's result, trimmed twice; never a
// broken file, and no temporary file is left.
TEST_F(BatchTest, TwoRunsOnOneFileAtOnce) {
  // 200 wide: its second row is content (a run of 179 is short of 180), but border once
  // the first trim has made the image 198 wide (threshold 178).
  const Bytes original = tests::SlowToSavePng(200, 179);
  const fs::path reference_folder = folder_ / "twice";
  fs::create_directory(reference_folder);
  const std::string reference = (reference_folder / "image.png").string();
  tests::WriteBytes(reference, original);
  ASSERT_EQ(tests::RunTrim({reference}).status, 0);
  const Bytes once = FileBytes(reference);
  ASSERT_EQ(tests::RunTrim({reference}).status, 0);
  const Bytes twice = FileBytes(reference);
  ASSERT_EQ(SizeOf(reference), std::make_pair(198, 197));

  const LeaksChecked leaks_checked;
  for (const int delay_ms : {0, 0, 10, 40, 100, 300}) {
    SCOPED_TRACE(testing::Message() << "second run " << delay_ms << " ms later");
    const fs::path folder = folder_ / ("shared-" + std::to_string(delay_ms));
    fs::create_directories(folder);
    const std::string path = (folder / "image.png").string();
    tests::WriteBytes(path, original);
    tests::BackgroundTrim first(path);
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    tests::BackgroundTrim second(path);
    for (tests::BackgroundTrim* run : {&first, &second}) {
      const int status = run->Wait();
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    const Bytes now = FileBytes(path);
    EXPECT_TRUE(now == once || now == twice) << "a file of " << now.size() << " bytes";
    EXPECT_EQ(tests::FolderEntries(folder), std::set<std::string>{"image.png"});
  }
}

}  // namespace
