// Seeds the fuzz corpora: when TRIM_DUMP_FIXTURES names a folder, every PNG and BMP file the
// tests compose is also written there (named by its content's hash, so repeats collapse).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace tests {

void DumpFixture(std::string_view extension, const std::vector<uint8_t>& bytes);

}  // namespace tests
