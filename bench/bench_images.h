// The images the benchmark measures: generated ones, the same for a given seed, each with a
// uniform border, and the PNG and BMP files of a folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

enum class FileFormat { kPng, kBmp };

struct BenchImage {
  std::string name;  // the class, or the file name for images of a folder
  FileFormat format = FileFormat::kPng;
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bytes;  // the whole file
};

struct ImageClass {
  const char* name;
  const char* description;
  // Makes the file of an image of the class with the size.
  std::vector<uint8_t> (*make)(int width, int height, uint64_t seed);
  FileFormat format;
};

// Every generated class, in table order. The PNG files are written by our encoder at level 9
// with the Sub filter.
const std::vector<ImageClass>& ImageClasses();

// A 4:3 size of about the number of megapixels, both sides multiples of 8.
void SizeForMegapixels(double megapixels, int& width, int& height);

// A 24-bit BMP file of the photo-like picture in its frame, for the BMP against cp row.
std::vector<uint8_t> MakeBmpPhoto(int width, int height, uint64_t seed);

// The PNG and BMP files directly inside dir (by extension, any case), sorted by name; files
// whose size cannot be read from their header are reported in skipped.
std::vector<BenchImage> ImagesOfFolder(const std::string& dir, std::vector<std::string>& skipped);

}  // namespace bench
