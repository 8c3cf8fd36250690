#pragma once

#include <gtest/gtest.h>

namespace tests {

// Starts the PNG codec module for the whole test run and shuts it down afterwards.
testing::Environment* MakeCodecEnvironment();

}  // namespace tests
