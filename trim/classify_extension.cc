#include "trim/classify_extension.h"

#include <string>

namespace trim {

FileKind ClassifyExtension(std::string_view path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return KindOther;
  // A dot before the last '/' belongs to a folder's name; backslashes and colons are
  // ordinary characters of a file name here.
  if (path.find('/', dot) != std::string_view::npos) return KindOther;
  std::string extension(path.substr(dot));
  for (char& c : extension) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  constexpr std::string_view kKnown = ".BMP.PNG";
  switch (kKnown.find(extension)) {
    case 0:
      return KindBmp;
    case 4:
      return KindPng;
    default:
      return KindOther;
  }
}

}  // namespace trim
