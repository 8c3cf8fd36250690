// The bodies of the fuzz targets, shared by the libFuzzer programs and by the tests that
// replay the corpora and the regression cases on every build. Each takes any bytes; only a
// crash, a sanitizer report or an exception other than the platform's own is a finding.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzz {

// PNG load from memory, conversion to a bitmap, save back to memory, and the bitmap
// assigned to a PNG image and saved again.
void PngLoad(const uint8_t* data, size_t size);

// BMP load, border scans, crop and save to memory.
void BmpTrim(const uint8_t* data, size_t size);

// The tool's whole per-file step on a real file: input starting with 'B' is named .bmp,
// any other .png, so each reader also meets the other's files.
void TrimFile(const uint8_t* data, size_t size);

}  // namespace fuzz
