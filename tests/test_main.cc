// Test entry point: the codec module starts before the tests, as it does in the tool.
#include <gtest/gtest.h>

#include "tests/test_environment.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::AddGlobalTestEnvironment(tests::MakeCodecEnvironment());
  return RUN_ALL_TESTS();
}
