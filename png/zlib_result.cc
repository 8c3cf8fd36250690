// The texts that describe zlib's result codes, for the zlib error messages of both halves.
#include <array>
#include <string>
#include <string_view>

#include "png/exceptions.h"
#include "png/messages.h"
#include "png/zlib_layer.h"

namespace png {

namespace {

constexpr int kFirstCode = -6;
constexpr std::array<std::string_view, 9> kZlibResultDescriptions = {"incompatible version (-6)",
                                                                     "buffer error (-5)",
                                                                     "insufficient memory (-4)",
                                                                     "data error (-3)",
                                                                     "stream error (-2)",
                                                                     "file error (-1)",
                                                                     "(0)",
                                                                     "stream end (1)",
                                                                     "need dictionary (2)"};

}  // namespace

std::string_view ZlibResultDescription(int code) {
  const int index = code - kFirstCode;
  if (index < 0 || index >= static_cast<int>(kZlibResultDescriptions.size())) return {};
  return kZlibResultDescriptions[static_cast<size_t>(index)];
}

void RaiseZlibError(int code) {
  RaisePngError<EPNGZLIBError>(std::string(kZlibError) + std::string(ZlibResultDescription(code)));
}

}  // namespace png
