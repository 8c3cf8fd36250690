// Which files the tool reads: the kind of a file as its extension names it.
#pragma once

#include <string_view>

namespace trim {

enum FileKind { KindBmp, KindPng, KindOther };

// The extension is the tail from the last dot, provided no '/' follows that dot. Upper-cased,
// it is looked up in ".BMP.PNG": found at the start (".", ".B", ".BM", ".BMP") it names a BMP
// file, found at the second dot (".P", ".PN", ".PNG") a PNG file; anything else is KindOther.
FileKind ClassifyExtension(std::string_view path);

}  // namespace trim
