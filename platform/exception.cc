#include "platform/exception.h"

#include <cstring>

namespace platform {

namespace {

std::string SystemText(int error_number) {
  return std::strerror(error_number);
}

}  // namespace

void RaiseOpenError(std::string_view path, int error_number) {
  throw EFOpenError("Cannot open file \"" + std::string(path) + "\". " + SystemText(error_number));
}

void RaiseCreateError(std::string_view path, int error_number) {
  throw EFCreateError("Cannot create file \"" + std::string(path) + "\". " +
                      SystemText(error_number));
}

void RaiseWriteError(int error_number) {
  throw EWriteError("Stream write error. " + SystemText(error_number));
}

void RaiseInvalidBitmap() {
  throw EInvalidGraphic("Bitmap image is not valid");
}

void RaiseInvalidPixelFormat() {
  throw EInvalidGraphic("Invalid pixel format");
}

void RaiseOutOfResources() {
  throw EOutOfResources("Out of system resources");
}

void RaiseOutOfMemory() {
  throw EOutOfMemory("Out of memory");
}

void RaiseInvalidCast() {
  throw EInvalidCast("Invalid class typecast");
}

void RaiseConvertError(std::string_view source_class, std::string_view dest_class) {
  throw EConvertError("Cannot assign a " + std::string(source_class) + " to a " +
                      std::string(dest_class));
}

}  // namespace platform
