#include "tests/test_environment.h"

namespace tests {

namespace {

class CodecEnvironment : public testing::Environment {};

}  // namespace

testing::Environment* MakeCodecEnvironment() {
  return new CodecEnvironment;
}

}  // namespace tests
