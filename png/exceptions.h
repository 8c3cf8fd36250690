// The PNG exception family: sixteen classes, each derived directly from the platform's
// base exception and independent of the others.
#pragma once

#include <string>
#include <string_view>

#include "platform/exception.h"

namespace png {

PLATFORM_DECLARE_EXCEPTION(EPngError);
PLATFORM_DECLARE_EXCEPTION(EPNGOutMemory);
PLATFORM_DECLARE_EXCEPTION(EPngUnexpectedEnd);
PLATFORM_DECLARE_EXCEPTION(EPngInvalidCRC);
PLATFORM_DECLARE_EXCEPTION(EPngInvalidIHDR);
PLATFORM_DECLARE_EXCEPTION(EPNGMissingMultipleIDAT);
PLATFORM_DECLARE_EXCEPTION(EPNGZLIBError);
PLATFORM_DECLARE_EXCEPTION(EPNGInvalidPalette);
PLATFORM_DECLARE_EXCEPTION(EPNGInvalidFileHeader);
PLATFORM_DECLARE_EXCEPTION(EPNGIHDRNotFirst);
PLATFORM_DECLARE_EXCEPTION(EPNGSizeExceeds);
PLATFORM_DECLARE_EXCEPTION(EPNGUnknownCriticalChunk);
PLATFORM_DECLARE_EXCEPTION(EPNGUnknownCompression);
PLATFORM_DECLARE_EXCEPTION(EPNGUnknownInterlace);
PLATFORM_DECLARE_EXCEPTION(EPNGNoImageData);
PLATFORM_DECLARE_EXCEPTION(EPNGHeaderNotPresent);

// Creates an exception of class E carrying the message and raises it.
template <typename E>
[[noreturn]] void RaisePngError(std::string_view message) {
  throw E(std::string(message));
}

}  // namespace png
