// One file of the command line: load, find the border, crop, save over the file.
#pragma once

#include <string>

namespace trim {

// Trims the uniform border off the BMP or PNG file at path and rewrites it in place. Missing
// paths, folders and files of other kinds are skipped; a file without border, or one in
// which no row or no column holds content, is left untouched. Errors pass on.
void TrimFile(const std::string& path);

}  // namespace trim
