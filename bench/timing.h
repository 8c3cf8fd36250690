// Wall-clock timing of in-process work and of child processes, and the median of runs.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace bench {

// The middle value (the mean of the two middle ones for an even count); 0 for none.
double Median(std::vector<double> values);

// Milliseconds of each of `runs` calls of work, in order.
template <typename Work>
std::vector<double> TimeRuns(int runs, Work&& work) {
  std::vector<double> times;
  times.reserve(static_cast<size_t>(runs));
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const auto stop = std::chrono::steady_clock::now();
    times.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
  }
  return times;
}

template <typename Work>
double MedianMs(int runs, Work&& work) {
  return Median(TimeRuns(runs, work));
}

struct ChildRun {
  double ms = 0;           // from fork to the end of wait4
  double peak_rss_mb = 0;  // the child's largest resident set (ru_maxrss), in MiB
  bool succeeded = false;  // exited with status 0
  std::string failure;     // how it ended otherwise
};

// Runs the program at argv[0] with the arguments, waits for it and reports its time and
// peak resident memory. Its standard output and error are the bench's own.
ChildRun RunChild(const std::vector<std::string>& argv);

}  // namespace bench
