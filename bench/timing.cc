#include "bench/timing.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace bench {

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  if (values.size() % 2 == 1) return values[middle];
  return (values[middle - 1] + values[middle]) / 2;
}

ChildRun RunChild(const std::vector<std::string>& argv) {
  ChildRun result;
  // Built before the fork: the child only calls execv and _exit.
  std::vector<char*> args;
  for (const std::string& arg : argv)
    args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) {
    result.failure = std::string("fork: ") + std::strerror(errno);
    return result;
  }
  if (pid == 0) {
    ::execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  pid_t waited;
  do {
    waited = ::wait4(pid, &status, 0, &usage);
  } while (waited < 0 && errno == EINTR);
  const auto stop = std::chrono::steady_clock::now();
  result.ms = std::chrono::duration<double, std::milli>(stop - start).count();
  if (waited < 0) {
    result.failure = std::string("wait4: ") + std::strerror(errno);
    return result;
  }
  // ru_maxrss is in KiB on Linux.
  result.peak_rss_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    result.succeeded = true;
  } else if (WIFEXITED(status)) {
    result.failure = "exit status " + std::to_string(WEXITSTATUS(status));
  } else if (WIFSIGNALED(status)) {
    result.failure = "signal " + std::to_string(WTERMSIG(status));
  } else {
    result.failure = "ended abnormally";
  }
  return result;
}

}  // namespace bench
