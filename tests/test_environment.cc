#include "tests/test_environment.h"

#include "png/module.h"

namespace tests {

namespace {

class CodecEnvironment : public testing::Environment {
 public:
  void SetUp() override { png::ModuleStartup(); }
  void TearDown() override { png::ModuleShutdown(); }
};

}  // namespace

testing::Environment* MakeCodecEnvironment() {
  return new CodecEnvironment;
}

}  // namespace tests
