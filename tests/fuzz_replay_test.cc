// Replays the fuzz corpora and every input that once made a fuzz target fail through the
// same target bodies, so each build (and the sanitizer build above all) meets them again.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/fuzz_targets.h"
#include "tests/program_runner.h"

namespace tests {
namespace {

struct FuzzTarget {
  const char* name;
  void (*body)(const uint8_t*, size_t);
};

const FuzzTarget kTargets[] = {
    {"png_load", fuzz::PngLoad},
    {"bmp_trim", fuzz::BmpTrim},
    {"trim_file", fuzz::TrimFile},
};

std::vector<std::filesystem::path> InputsOf(const std::string& target) {
  std::vector<std::filesystem::path> inputs;
  for (const char* kind : {"corpus", "regressions"}) {
    const std::filesystem::path folder =
        std::filesystem::path(TRIM_SOURCE_DIR) / "fuzz" / kind / target;
    if (!std::filesystem::is_directory(folder)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
  }
  return inputs;
}

class FuzzReplayTest : public testing::TestWithParam<FuzzTarget> {};

TEST_P(FuzzReplayTest, EveryStoredInputRunsClean) {
  const std::vector<std::filesystem::path> inputs = InputsOf(GetParam().name);
  ASSERT_FALSE(inputs.empty()) << "no corpus for " << GetParam().name;
  for (const auto& input : inputs) {
    SCOPED_TRACE(input.string());
    const std::vector<uint8_t> bytes = FileBytes(input);
    EXPECT_NO_THROW(GetParam().body(bytes.data(), bytes.size()));
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplayTest, testing::ValuesIn(kTargets),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tests
