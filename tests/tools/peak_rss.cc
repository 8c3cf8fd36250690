// peak_rss PROGRAM [ARGUMENT...]: runs the program, then prints its peak resident set size in
// kilobytes on standard output and exits with its exit status (128 + the signal when one
// ended it). Started from this small process, the program's peak counts its own memory
// alone, not the copy of a large parent's address space that a fork gives it at first.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const pid_t child = ::fork();
  if (child < 0) return 2;
  if (child == 0) {
    ::execv(argv[1], argv + 1);
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (::wait4(child, &status, 0, &usage) != child) return 2;
  std::printf("%ld\n", usage.ru_maxrss);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
