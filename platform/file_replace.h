// Saving over a file without ever losing it.
#pragma once

#include <functional>
#include <string>

#include "platform/stream.h"

namespace platform {

// Writes the new contents of path through write into a temporary file in the same folder
// and renames it over the original only once it is complete and on disk. The original keeps
// its permission bits (and owner and group where allowed); a symbolic link stays a link and
// the file it points to is replaced. When anything fails, the original is untouched, no
// temporary file is left behind and the error passes on. SIGINT, SIGTERM or SIGHUP while the
// temporary file exists remove it before the process dies of the signal.
void ReplaceFile(const std::string& path, const std::function<void(TStream&)>& write);

// True for an existing regular file (or a link to one); false for missing paths and folders.
bool FileExists(const std::string& path);

}  // namespace platform
