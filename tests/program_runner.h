// Runs the built trim program on files in a temporary folder, for the end-to-end tests.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tests {

// The sanitizer build runs the same tests several times slower; the heaviest scale down.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitizerBuild = true;
#else
inline constexpr bool kSanitizerBuild = false;
#endif

struct RunResult {
  int status = -1;  // the exit status; -1 when a signal ended the program
  std::string out;
  std::string err;
};

// Runs a program (argv[0] is its path) with default signal actions and waits for it; a
// file-size limit, when given, holds for it alone.
RunResult RunProgram(const std::vector<std::string>& argv,
                     std::optional<rlim_t> file_size_limit = std::nullopt);

// Runs the trim program with the arguments, as RunProgram does. Expects that the program
// writes nothing to standard output.
RunResult RunTrim(const std::vector<std::string>& arguments,
                  std::optional<rlim_t> file_size_limit = std::nullopt);

// A trim process run in the background on one path, with default signal actions; its
// output goes where the test's goes. Killed, if it still runs, when the object goes.
class BackgroundTrim {
 public:
  explicit BackgroundTrim(const std::string& path);
  ~BackgroundTrim();
  BackgroundTrim(const BackgroundTrim&) = delete;
  BackgroundTrim& operator=(const BackgroundTrim&) = delete;

  bool Running();
  void Signal(int signal_number);
  // Waits for the end and returns the wait status.
  int Wait();

 private:
  pid_t pid_ = -1;
  bool ended_ = false;
  int status_ = 0;
};

std::vector<uint8_t> FileBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
std::set<std::string> FolderEntries(const std::filesystem::path& folder);

// Every test gets a fresh temporary folder, removed with all it holds afterwards.
class TemporaryFolderTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }
  // Where the folder is made.
  virtual std::filesystem::path ParentFolder() const;

  std::filesystem::path folder_;
};

}  // namespace tests
