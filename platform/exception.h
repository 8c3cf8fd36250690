// The platform's exception family: every error of the system is one of these.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace platform {

// Base of every exception the system raises; carries a fixed English message.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}

  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const noexcept { return message_; }
  // The class name as the error report shows it.
  virtual std::string_view ClassName() const noexcept { return "Exception"; }

 private:
  std::string message_;
};

// Declares an exception class derived directly from platform::Exception.
#define PLATFORM_DECLARE_EXCEPTION(Name)                                   \
  class Name : public ::platform::Exception {                              \
   public:                                                                 \
    using ::platform::Exception::Exception;                                \
    std::string_view ClassName() const noexcept override { return #Name; } \
  }

PLATFORM_DECLARE_EXCEPTION(EFOpenError);
PLATFORM_DECLARE_EXCEPTION(EFCreateError);
PLATFORM_DECLARE_EXCEPTION(EReadError);
PLATFORM_DECLARE_EXCEPTION(EWriteError);
PLATFORM_DECLARE_EXCEPTION(EInvalidGraphic);
PLATFORM_DECLARE_EXCEPTION(EOutOfResources);
PLATFORM_DECLARE_EXCEPTION(EConvertError);
PLATFORM_DECLARE_EXCEPTION(EInvalidCast);
PLATFORM_DECLARE_EXCEPTION(EOutOfMemory);

// Raisers with the platform's standard texts.
[[noreturn]] void RaiseOpenError(std::string_view path, int error_number);
[[noreturn]] void RaiseCreateError(std::string_view path, int error_number);
[[noreturn]] void RaiseWriteError(int error_number);
[[noreturn]] void RaiseInvalidBitmap();
[[noreturn]] void RaiseInvalidPixelFormat();
[[noreturn]] void RaiseOutOfResources();
[[noreturn]] void RaiseOutOfMemory();
[[noreturn]] void RaiseInvalidCast();
[[noreturn]] void RaiseConvertError(std::string_view source_class, std::string_view dest_class);

}  // namespace platform
