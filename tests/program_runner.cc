#include "tests/program_runner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace tests {

namespace {

namespace fs = std::filesystem;

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t got;
  while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
    text.append(buffer, buffer + got);
  return text;
}

// In the child of a fork, just before it runs a program: the signal actions and mask that
// a shell would give it, whatever the test process had.
void ResetSignalsForChild() {
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ})
    std::signal(signal_number, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
}

}  // namespace

RunResult RunProgram(const std::vector<std::string>& argv, std::optional<rlim_t> file_size_limit) {
  int out_pipe[2];
  int err_pipe[2];
  if (::pipe(out_pipe) != 0 || ::pipe(err_pipe) != 0) return {};
  std::vector<char*> pointers;
  for (const std::string& argument : argv)
    pointers.push_back(const_cast<char*>(argument.c_str()));
  pointers.push_back(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(out_pipe[1], STDOUT_FILENO);
    ::dup2(err_pipe[1], STDERR_FILENO);
    for (int fd : {out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]})
      ::close(fd);
    if (file_size_limit) {
      const rlimit limit{*file_size_limit, *file_size_limit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ResetSignalsForChild();
    ::execvp(pointers[0], pointers.data());
    ::_exit(127);
  }
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  RunResult result;
  result.out = ReadAll(out_pipe[0]);
  result.err = ReadAll(err_pipe[0]);
  ::close(out_pipe[0]);
  ::close(err_pipe[0]);
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child) {
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  }
  return result;
}

RunResult RunTrim(const std::vector<std::string>& arguments,
                  std::optional<rlim_t> file_size_limit) {
  std::vector<std::string> argv{TRIM_BINARY};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  const RunResult result = RunProgram(argv, file_size_limit);
  // Whatever happens, the program never writes to standard output.
  EXPECT_EQ(result.out, "");
  return result;
}

BackgroundTrim::BackgroundTrim(const std::string& path) {
  pid_ = ::fork();
  if (pid_ == 0) {
    ResetSignalsForChild();
    ::execl(TRIM_BINARY, TRIM_BINARY, path.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
}

BackgroundTrim::~BackgroundTrim() {
  if (Running()) {
    Signal(SIGKILL);
    Wait();
  }
}

bool BackgroundTrim::Running() {
  if (pid_ > 0 && !ended_ && ::waitpid(pid_, &status_, WNOHANG) == pid_) ended_ = true;
  return pid_ > 0 && !ended_;
}

void BackgroundTrim::Signal(int signal_number) {
  if (pid_ > 0 && !ended_) ::kill(pid_, signal_number);
}

int BackgroundTrim::Wait() {
  if (pid_ > 0 && !ended_ && ::waitpid(pid_, &status_, 0) == pid_) ended_ = true;
  return status_;
}

std::vector<uint8_t> FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

std::set<std::string> FolderEntries(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename());
  return names;
}

fs::path TemporaryFolderTest::ParentFolder() const {
  return fs::temp_directory_path();
}

void TemporaryFolderTest::SetUp() {
  std::string pattern = (ParentFolder() / "trim-e2e-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  folder_ = pattern;
}

void TemporaryFolderTest::TearDown() {
  std::error_code ignored;
  fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(folder_, ignored);
}

}  // namespace tests
