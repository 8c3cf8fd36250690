// The row filter loops against the filters' definitions, byte by byte, for every pixel size
// the decoder meets (and some it does not), on random rows.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "png/png_object.h"
#include "png/unfilter.h"

namespace tests {
namespace {

int Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a);
  const int pb = std::abs(p - b);
  const int pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  if (pb <= pc) return b;
  return c;
}

// The unfiltered row, computed straight from the definitions.
std::vector<uint8_t> Reference(uint8_t type, const std::vector<uint8_t>& filtered,
                               const std::vector<uint8_t>& prior, int stride) {
  std::vector<uint8_t> out(filtered.size());
  for (size_t i = 0; i < out.size(); ++i) {
    const int a = i >= static_cast<size_t>(stride) ? out[i - stride] : 0;
    const int b = prior[i];
    const int c = i >= static_cast<size_t>(stride) ? prior[i - stride] : 0;
    int predictor = 0;
    switch (type) {
      case png::kFilterSub:
        predictor = a;
        break;
      case png::kFilterUp:
        predictor = b;
        break;
      case png::kFilterAverage:
        predictor = (a + b) / 2;
        break;
      case png::kFilterPaeth:
        predictor = Paeth(a, b, c);
        break;
      default:
        break;
    }
    out[i] = static_cast<uint8_t>(filtered[i] + predictor);
  }
  return out;
}

TEST(UnfilterRow, MatchesTheFilterDefinitions) {
  std::mt19937 random(7);
  for (int stride : {1, 2, 3, 4, 5, 6, 8}) {
    for (int size : {0, 1, 2, 3, 5, 6, 8, 15, 16, 17, 24, 33, 48, 100, 301}) {
      for (uint8_t type = 0; type <= 5; ++type) {
        // Rows of extremes as well as of noise: the Paeth distances reach their ends.
        for (int kind = 0; kind < 3; ++kind) {
          std::vector<uint8_t> filtered(static_cast<size_t>(size));
          std::vector<uint8_t> prior(static_cast<size_t>(size));
          for (int i = 0; i < size; ++i) {
            filtered[i] = kind == 1 ? 0 : static_cast<uint8_t>(random());
            prior[i] = kind == 2 ? static_cast<uint8_t>((random() & 1) * 255)
                                 : static_cast<uint8_t>(random());
          }
          std::vector<uint8_t> row = filtered;
          png::UnfilterRow(type, row.data(), prior.data(), size, stride);
          ASSERT_EQ(row, Reference(type, filtered, prior, stride))
              << "type " << int{type} << " stride " << stride << " size " << size;
        }
      }
    }
  }
}

}  // namespace
}  // namespace tests
