// Faults while the trim program saves: a write the system refuses, and signals that end the
// program halfway through. The path always holds the whole old image or the whole new one.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/bmp_builder.h"
#include "tests/png_builder.h"
#include "tests/program_runner.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using tests::Bytes;
using tests::FileBytes;
using tests::FolderEntries;
using tests::RunResult;

// A 24-bit BMP, width x height, with a one-pixel white frame around a colour pattern.
Bytes FramedBmp(int width, int height) {
  std::vector<std::vector<uint32_t>> rows(height, std::vector<uint32_t>(width, 0xFFFFFF));
  for (int y = 1; y < height - 1; ++y) {
    for (int x = 1; x < width - 1; ++x)
      rows[y][x] = static_cast<uint32_t>((x * 7919 + y * 104729) & 0xFFFFFF);
  }
  tests::BmpFixture fixture;
  fixture.width = width;
  fixture.height = height;
  fixture.pixels = tests::PackRows(24, rows);
  return tests::BuildBmp(fixture);
}

void SetOldModificationTime(const std::string& path) {
  const timespec times[2] = {{978307200, 0}, {978307200, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

time_t ModificationTime(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 ? info.st_mtim.tv_sec : 0;
}

// True for the name of a temporary file that a save makes beside the file it replaces.
bool IsTempName(const std::string& name) {
  return name.starts_with(".") && name.find(".trim-") != std::string::npos;
}

// Runs a shell script as root of new user and mount namespaces, so that it may mount what
// it likes without privileges and without touching the rest of the machine.
RunResult RunInNamespaces(const std::string& script, const std::vector<std::string>& arguments) {
  std::vector<std::string> argv{"unshare", "-Urm", "sh", "-c", script, "sh"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return tests::RunProgram(argv);
}

// Why namespaced mounts cannot be used here, or an empty text when they can.
std::string NamespacesUnavailable(const fs::path& scratch) {
  fs::create_directory(scratch);
  const RunResult probe = RunInNamespaces(
      "mount -t tmpfs -o size=64k tmpfs \"$1\" && mount --bind \"$1\" \"$1\" && "
      "mount -o remount,bind,ro \"$1\"",
      {scratch.string()});
  fs::remove(scratch);
  if (probe.status == 0) return "";
  return "this machine does not let an unprivileged user mount in new user and mount "
         "namespaces (unshare -Urm): " +
         probe.err;
}

enum class Fault { kFileSizeLimit, kNoSpace, kReadOnlyFolder };

struct SaveFault {
  const char* name;
  Fault fault;
  const char* report;  // after "trim: PATH: "; $PATH stands for the path
};

std::ostream& operator<<(std::ostream& out, const SaveFault& fault) {
  return out << fault.name;
}

class SaveFaultTest : public tests::TemporaryFolderTest,
                      public testing::WithParamInterface<SaveFault> {};

// Whatever refuses the write, the run ends with a one-line report, the file keeps its bytes
// and its modification time, and no temporary file is left.
TEST_P(SaveFaultTest, KeepsTheOriginal) {
  const SaveFault& fault = GetParam();
  const fs::path files = folder_ / "files";
  fs::create_directory(files);
  if (fault.fault != Fault::kFileSizeLimit) {
    const std::string reason = NamespacesUnavailable(folder_ / "probe");
    if (!reason.empty()) GTEST_SKIP() << reason;
  }

  const struct {
    const char* name;
    Bytes bytes;
  } kImages[] = {
      {"framed.bmp", FramedBmp(160, 120)},
      {"slow.png", tests::SlowToSavePng(400)},
  };
  for (const auto& image : kImages) {
    SCOPED_TRACE(image.name);
    const std::string path = (files / image.name).string();
    tests::WriteBytes(path, image.bytes);
    SetOldModificationTime(path);

    RunResult result;
    std::string reported_path = path;
    switch (fault.fault) {
      case Fault::kFileSizeLimit:
        result = tests::RunTrim({path}, rlim_t{4096});
        break;
      case Fault::kNoSpace: {
        // A disk that holds the original but not the original and its trimmed copy; what
        // the run leaves there is copied back out.
        const fs::path disk = folder_ / "disk";
        fs::create_directory(disk);
        reported_path = (disk / image.name).string();
        result = RunInNamespaces(
            "mount -t tmpfs -o size=\"$5\" tmpfs \"$1\" && cp -p \"$2/$3\" \"$1/$3\" || exit 99\n"
            "\"$4\" \"$1/$3\"\n"
            "status=$?\n"
            "rm \"$2/$3\" && cp -a \"$1/.\" \"$2/\" && exit $status\n",
            {disk.string(), files.string(), image.name, TRIM_BINARY,
             std::to_string(image.bytes.size() + 8192)});
        break;
      }
      case Fault::kReadOnlyFolder:
        result = RunInNamespaces(
            "mount --bind \"$1\" \"$1\" && mount -o remount,bind,ro \"$1\" || exit 99\n"
            "exec \"$2\" \"$3\"\n",
            {files.string(), TRIM_BINARY, path});
        break;
    }

    EXPECT_EQ(result.status, 1);
    std::string report = fault.report;
    if (const auto at = report.find("$PATH"); at != std::string::npos)
      report.replace(at, 5, reported_path);
    EXPECT_EQ(result.err, "trim: " + reported_path + ": " + report + "\n");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(FileBytes(path), image.bytes);
    EXPECT_EQ(ModificationTime(path), 978307200);
    EXPECT_EQ(FolderEntries(files), std::set<std::string>{image.name});
    fs::remove(path);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Refused, SaveFaultTest,
    testing::Values(SaveFault{"FileSizeLimit", Fault::kFileSizeLimit,
                              "EWriteError: Stream write error. File too large"},
                    SaveFault{"NoSpaceLeft", Fault::kNoSpace,
                              "EWriteError: Stream write error. No space left on device"},
                    SaveFault{
                        "ReadOnlyFolder", Fault::kReadOnlyFolder,
                        "EFCreateError: Cannot create file \"$PATH\". Read-only file system"}),
    [](const testing::TestParamInfo<SaveFault>& info) { return std::string(info.param.name); });

// Waits until a temporary file shows in the folder while the process runs; false when the
// process ends first.
bool WaitForTempFile(tests::BackgroundTrim& trim, const fs::path& folder) {
  const auto deadline = Clock::now() + std::chrono::seconds(120);
  while (trim.Running() && Clock::now() < deadline) {
    for (const std::string& name : FolderEntries(folder)) {
      if (IsTempName(name)) return trim.Running();
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return false;
}

class InterruptedSaveTest : public tests::TemporaryFolderTest {};

// Signals sent at several moments while the new file is written: the path holds the old
// or the new image, byte for byte. A signal that can be caught removes the temporary file
// and still ends the process as that signal; SIGKILL may leave one behind.
TEST_F(InterruptedSaveTest, PathHoldsTheOldOrTheNewImage) {
  const Bytes original = tests::SlowToSavePng(tests::kSanitizerBuild ? 400 : 500);

  // A copy trimmed undisturbed gives the new image and how long its save takes.
  const fs::path reference_folder = folder_ / "reference";
  fs::create_directory(reference_folder);
  const std::string reference = (reference_folder / "image.png").string();
  tests::WriteBytes(reference, original);
  Clock::duration save_time;
  {
    tests::BackgroundTrim trim(reference);
    ASSERT_TRUE(WaitForTempFile(trim, reference_folder));
    const auto save_start = Clock::now();
    const int status = trim.Wait();
    save_time = Clock::now() - save_start;
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const Bytes trimmed = FileBytes(reference);
  ASSERT_NE(trimmed, original);

  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
    int interrupted_saves = 0;
    for (const double fraction : {0.0, 0.25, 0.5, 0.75}) {
      SCOPED_TRACE(testing::Message()
                   << "signal " << signal_number << " after " << fraction << " of the save");
      const fs::path folder =
          folder_ / ("run-" + std::to_string(signal_number) + "-" + std::to_string(fraction));
      fs::create_directory(folder);
      const std::string path = (folder / "image.png").string();
      tests::WriteBytes(path, original);

      tests::BackgroundTrim trim(path);
      ASSERT_TRUE(WaitForTempFile(trim, folder));
      std::this_thread::sleep_for(
          std::chrono::duration_cast<Clock::duration>(save_time * fraction));
      const bool was_saving = trim.Running();
      if (was_saving) trim.Signal(signal_number);
      const int status = trim.Wait();

      const Bytes now = FileBytes(path);
      EXPECT_TRUE(now == original || now == trimmed) << "a file of " << now.size() << " bytes";
      // The save may just have finished before the signal came.
      const bool finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
      if (finished) {
        EXPECT_EQ(now, trimmed);
      } else {
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << status;
        interrupted_saves += was_saving ? 1 : 0;
      }
      std::set<std::string> left = FolderEntries(folder);
      if (signal_number == SIGKILL) std::erase_if(left, IsTempName);
      EXPECT_EQ(left, std::set<std::string>{"image.png"});
    }
    EXPECT_GT(interrupted_saves, 0) << "no signal " << signal_number << " came during a save";
  }
}

}  // namespace
