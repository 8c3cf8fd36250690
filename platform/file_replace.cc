#include "platform/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

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
  const int fd = ::mkstemp(temp.data());
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
  } catch (...) {
    ::unlink(temp.c_str());
    throw;
  }
}

}  // namespace platform
