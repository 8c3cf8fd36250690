// trim: trims uniform borders off the BMP and PNG files named on the command line and
// rewrites them in place.
#include <csignal>
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <string_view>

#include "platform/exception.h"
#include "png/module.h"
#include "trim/trim_file.h"

namespace {

// Runs of carriage returns and line feeds become one space, so the report is one line.
void AppendOneLine(std::string& out, std::string_view text) {
  bool in_break = false;
  for (const char c : text) {
    if (c == '\r' || c == '\n') {
      if (!in_break) out += ' ';
      in_break = true;
    } else {
      out += c;
      in_break = false;
    }
  }
}

int Report(std::string_view path, std::string_view class_name, std::string_view message) {
  std::string line = "trim: ";
  AppendOneLine(line, path);
  line += ": ";
  AppendOneLine(line, class_name);
  line += ": ";
  AppendOneLine(line, message);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit then makes the write fail with an error instead of killing the process.
  std::signal(SIGXFSZ, SIG_IGN);
  const png::CodecModule codec;
  std::string_view path;
  try {
    for (int i = 1; i < argc; ++i) {
      path = argv[i];
      trim::TrimFile(argv[i]);
    }
  } catch (const platform::Exception& error) {
    return Report(path, error.ClassName(), error.Message());
  } catch (const std::bad_alloc&) {
    return Report(path, "EOutOfMemory", "Out of memory");
  } catch (const std::exception& error) {
    return Report(path, "Exception", error.what());
  }
  return 0;
}
