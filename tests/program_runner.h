// Runs the built trim program on files in a temporary folder, for the end-to-end tests.
#pragma once

#include <sys/resource.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tests {

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the program with the arguments; a file-size limit, when given, holds for it alone.
// Expects that the program writes nothing to standard output.
RunResult RunTrim(const std::vector<std::string>& arguments,
                  std::optional<rlim_t> file_size_limit = std::nullopt);

std::vector<uint8_t> FileBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
std::set<std::string> FolderEntries(const std::filesystem::path& folder);

// Every test gets a fresh temporary folder, removed with all it holds afterwards.
class TemporaryFolderTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

  std::filesystem::path folder_;
};

}  // namespace tests
