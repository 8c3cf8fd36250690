#include "platform/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "platform/exception.h"

namespace platform {

namespace {

// The file that a save to path really replaces: the end of a chain of links.
std::string ReplacementTarget(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
  return path;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The temporary file of the replace in progress, for the signal handler: it may read only
// what is set before the flag, and may call only async-signal-safe functions.
char pending_temp[PATH_MAX];
volatile sig_atomic_t temp_is_pending = 0;

constexpr int kCleanedSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Removes the temporary file, then dies of the signal as it would have without us, so that
// the exit status still tells which signal ended the run.
void RemoveTempAndDie(int signal_number) {
  const int saved_errno = errno;
  if (temp_is_pending) ::unlink(pending_temp);
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  ::sigemptyset(&default_action.sa_mask);
  ::sigaction(signal_number, &default_action, nullptr);
  // Blocked while the handler runs; delivered with the default action once it returns.
  ::raise(signal_number);
  errno = saved_errno;
}

// While it lives, an interrupt, termination or hang-up removes the temporary file before
// the process dies. Signals the process ignores stay ignored (nohup keeps working).
class TempFileGuard {
 public:
  TempFileGuard() {
    struct sigaction action {};
    action.sa_handler = RemoveTempAndDie;
    ::sigemptyset(&action.sa_mask);
    for (const int signal_number : kCleanedSignals)
      ::sigaddset(&action.sa_mask, signal_number);
    for (size_t i = 0; i < std::size(kCleanedSignals); ++i) {
      ::sigaction(kCleanedSignals[i], nullptr, &previous_[i]);
      if (previous_[i].sa_handler == SIG_IGN) continue;
      ::sigaction(kCleanedSignals[i], &action, nullptr);
      installed_[i] = true;
    }
  }

  ~TempFileGuard() {
    temp_is_pending = 0;
    for (size_t i = 0; i < std::size(kCleanedSignals); ++i) {
      if (installed_[i]) ::sigaction(kCleanedSignals[i], &previous_[i], nullptr);
    }
  }

  TempFileGuard(const TempFileGuard&) = delete;
  TempFileGuard& operator=(const TempFileGuard&) = delete;

  // Makes the temporary file from the pattern and records it; a signal that comes in
  // between waits until it is recorded, so no window leaves the file behind.
  int MakeTemp(std::string& pattern) {
    sigset_t blocked;
    sigset_t previous_mask;
    ::sigemptyset(&blocked);
    for (const int signal_number : kCleanedSignals)
      ::sigaddset(&blocked, signal_number);
    ::sigprocmask(SIG_BLOCK, &blocked, &previous_mask);
    const int fd = ::mkstemp(pattern.data());
    const int saved_errno = errno;
    // A name too long for the buffer cannot be cleaned up after a signal; it is rare
    // enough that the replace goes on without it.
    if (fd >= 0 && pattern.size() < sizeof pending_temp) {
      std::memcpy(pending_temp, pattern.c_str(), pattern.size() + 1);
      temp_is_pending = 1;
    }
    ::sigprocmask(SIG_SETMASK, &previous_mask, nullptr);
    errno = saved_errno;
    return fd;
  }

  // Once the file is renamed or removed, a signal has nothing left to clean up.
  void Release() { temp_is_pending = 0; }

 private:
  struct sigaction previous_[std::size(kCleanedSignals)]{};
  bool installed_[std::size(kCleanedSignals)] = {};
};

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool FileExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void ReplaceFile(const std::string& path, const std::function<void(TStream&)>& write) {
  const std::string target = ReplacementTarget(path);
  std::string temp = FolderOf(target) + "/." + BaseNameOf(target) + ".trim-XXXXXX";
  TempFileGuard guard;
  const int fd = guard.MakeTemp(temp);
  if (fd < 0) RaiseCreateError(path, errno);

  try {
    TFileStream stream(fd, temp);
    struct stat original;
    if (::stat(target.c_str(), &original) == 0) {
      if (::fchown(fd, original.st_uid, original.st_gid) != 0) {
        // Only the owner's own group or root may keep another owner; the mode still holds.
      }
      ::fchmod(fd, original.st_mode & 07777);
    } else {
      ::fchmod(fd, NewFileMode());
    }
    write(stream);
    stream.Commit();
    if (::rename(temp.c_str(), target.c_str()) != 0) RaiseCreateError(path, errno);
    guard.Release();
  } catch (...) {
    ::unlink(temp.c_str());
    guard.Release();
    throw;
  }
}

}  // namespace platform
