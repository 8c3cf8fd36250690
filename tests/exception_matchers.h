// Running code that should raise and naming what it raised.
#pragma once

#include <functional>
#include <string>

#include "platform/exception.h"

namespace tests {

// The class name of the platform exception that action raises; "" when it raises nothing.
inline std::string RaisedClass(const std::function<void()>& action) {
  try {
    action();
  } catch (const platform::Exception& e) {
    return std::string(e.ClassName());
  }
  return "";
}

// The message of the platform exception that action raises; "" when it raises nothing.
inline std::string RaisedMessage(const std::function<void()>& action) {
  try {
    action();
  } catch (const platform::Exception& e) {
    return e.Message();
  }
  return "";
}

}  // namespace tests
