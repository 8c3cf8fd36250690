#include "tests/fixture_dump.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tests {

void DumpFixture(std::string_view extension, const std::vector<uint8_t>& bytes) {
  static const char* const folder = std::getenv("TRIM_DUMP_FIXTURES");
  if (folder == nullptr || bytes.empty()) return;
  uint64_t hash = 14695981039346656037ull;
  for (const uint8_t byte : bytes)
    hash = (hash ^ byte) * 1099511628211ull;
  char name[32];
  std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(hash));
  const std::string path = std::string(folder) + "/" + name + std::string(extension);
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
}

}  // namespace tests
