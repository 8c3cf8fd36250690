#include "platform/stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/exception.h"

namespace platform {

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count > 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count > 0 && Write(buffer, count) != count) RaiseWriteError(ENOSPC);
}

TFileStream::TFileStream(const std::string& path, Mode mode) : path_(path) {
  if (mode == Mode::kOpenRead) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) RaiseOpenError(path, errno);
  } else {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) RaiseCreateError(path, errno);
  }
  buffer_.resize(kBufferSize);
}

TFileStream::TFileStream(int fd, std::string path) : fd_(fd), path_(std::move(path)) {
  buffer_.resize(kBufferSize);
}

TFileStream::~TFileStream() {
  if (fd_ < 0) return;
  try {
    FlushWrites();
  } catch (const Exception&) {
    // A destructor cannot report; callers that care use Commit().
  }
  ::close(fd_);
}

void TFileStream::FlushWrites() {
  const int64_t count = write_count_;
  write_count_ = 0;
  WriteThrough(buffer_.data(), count);
}

void TFileStream::WriteThrough(const uint8_t* data, int64_t count) {
  while (count > 0) {
    const ssize_t written = ::write(fd_, data, static_cast<size_t>(count));
    if (written < 0) {
      if (errno == EINTR) continue;
      RaiseWriteError(errno);
    }
    if (written == 0) RaiseWriteError(ENOSPC);
    data += written;
    count -= written;
    file_position_ += written;
  }
}

void TFileStream::Flush() {
  FlushWrites();
}

void TFileStream::Commit() {
  FlushWrites();
  if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) RaiseWriteError(errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) RaiseWriteError(errno);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  FlushWrites();
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t delivered = 0;
  while (delivered < count) {
    if (read_begin_ == read_end_) {
      // Large reads bypass the buffer; small ones refill it.
      const int64_t wanted = count - delivered;
      uint8_t* target = wanted >= kBufferSize ? out + delivered : buffer_.data();
      const int64_t target_size = wanted >= kBufferSize ? wanted : kBufferSize;
      ssize_t got;
      do {
        got = ::read(fd_, target, static_cast<size_t>(target_size));
      } while (got < 0 && errno == EINTR);
      if (got <= 0) break;
      file_position_ += got;
      if (target != buffer_.data()) {
        read_begin_ = read_end_ = 0;
        delivered += got;
        continue;
      }
      read_begin_ = 0;
      read_end_ = got;
    }
    const int64_t take = std::min(count - delivered, read_end_ - read_begin_);
    std::memcpy(out + delivered, buffer_.data() + read_begin_, static_cast<size_t>(take));
    read_begin_ += take;
    delivered += take;
  }
  return delivered;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  DropReadAhead();
  const auto* in = static_cast<const uint8_t*>(buffer);
  if (count >= kBufferSize) {
    // Large writes bypass the buffer, as large reads do.
    FlushWrites();
    WriteThrough(in, count);
    return count;
  }
  int64_t taken = 0;
  while (taken < count) {
    if (write_count_ == kBufferSize) FlushWrites();
    const int64_t take = std::min(count - taken, kBufferSize - write_count_);
    std::memcpy(buffer_.data() + write_count_, in + taken, static_cast<size_t>(take));
    write_count_ += take;
    taken += take;
  }
  return taken;
}

void TFileStream::DropReadAhead() {
  if (read_begin_ == read_end_) {
    read_begin_ = read_end_ = 0;
    return;
  }
  const int64_t logical = file_position_ - (read_end_ - read_begin_);
  read_begin_ = read_end_ = 0;
  const off_t moved = ::lseek(fd_, static_cast<off_t>(logical), SEEK_SET);
  if (moved >= 0) file_position_ = moved;
}

int64_t TFileStream::Seek(int64_t offset, SeekOrigin origin) {
  const int64_t logical = file_position_ - (read_end_ - read_begin_) + write_count_;
  if (origin == SeekOrigin::kCurrent && offset == 0) return logical;
  FlushWrites();
  int64_t target = offset;
  if (origin == SeekOrigin::kCurrent) target = logical + offset;
  if (origin == SeekOrigin::kEnd) target = Size() + offset;
  if (target < 0) target = 0;
  // A seek inside the read-ahead keeps the buffer.
  const int64_t buffer_start = file_position_ - read_end_;
  if (read_end_ > 0 && target >= buffer_start && target <= file_position_) {
    read_begin_ = target - buffer_start;
    return target;
  }
  read_begin_ = read_end_ = 0;
  const off_t moved = ::lseek(fd_, static_cast<off_t>(target), SEEK_SET);
  if (moved < 0) return logical;
  file_position_ = moved;
  return file_position_;
}

int64_t TFileStream::Size() {
  struct stat info;
  if (::fstat(fd_, &info) != 0) return 0;
  const int64_t pending_end = file_position_ + write_count_;
  return std::max<int64_t>(info.st_size, pending_end);
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t size = Size();
  if (count <= 0 || position_ >= size) return 0;
  const int64_t take = std::min(count, size - position_);
  std::memcpy(buffer, bytes_.data() + position_, static_cast<size_t>(take));
  position_ += take;
  return take;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const int64_t end = position_ + count;
  if (end > Size()) bytes_.resize(static_cast<size_t>(end));
  std::memcpy(bytes_.data() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, SeekOrigin origin) {
  int64_t target = offset;
  if (origin == SeekOrigin::kCurrent) target = position_ + offset;
  if (origin == SeekOrigin::kEnd) target = Size() + offset;
  position_ = std::max<int64_t>(target, 0);
  return position_;
}

void TMemoryStream::Clear() {
  bytes_.clear();
  position_ = 0;
}

}  // namespace platform
