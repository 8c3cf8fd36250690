// Byte streams: the abstract TStream, a buffered file stream and a memory stream.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum class SeekOrigin { kBeginning, kCurrent, kEnd };

class TStream {
 public:
  virtual ~TStream() = default;

  // Reads up to count bytes and returns how many the stream delivered (0 at its end).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes count bytes and returns how many were taken; a failing device raises EWriteError.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Moves the position and returns the new one; positions past the end are allowed.
  virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
  virtual int64_t Size() = 0;

  int64_t Position() { return Seek(0, SeekOrigin::kCurrent); }
  void SetPosition(int64_t position) { Seek(position, SeekOrigin::kBeginning); }

  // Reads exactly count bytes or raises EReadError.
  void ReadBuffer(void* buffer, int64_t count);
  // Writes all count bytes or raises EWriteError.
  void WriteBuffer(const void* buffer, int64_t count);
};

// A file read or written through a buffer, so that small fields cost no system call.
class TFileStream final : public TStream {
 public:
  enum class Mode {
    kOpenRead,  // an existing file, for reading
    kCreate,    // a file created anew (an existing one is truncated)
  };

  TFileStream(const std::string& path, Mode mode);
  // Takes over an open descriptor (for example a fresh temporary file) for writing.
  TFileStream(int fd, std::string path);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() override;

  // Writes out what the buffer holds; raises EWriteError when the device refuses.
  void Flush();
  // Flushes, forces the data to the disk and closes the descriptor; raises on failure.
  void Commit();
  const std::string& Path() const { return path_; }

 private:
  void FlushWrites();
  void WriteThrough(const uint8_t* data, int64_t count);
  void DropReadAhead();

  static constexpr int64_t kBufferSize = 64 * 1024;
  int fd_ = -1;
  std::string path_;
  std::vector<uint8_t> buffer_;
  int64_t file_position_ = 0;  // where the descriptor stands
  int64_t read_begin_ = 0;     // unread bytes of buffer_ are [read_begin_, read_end_)
  int64_t read_end_ = 0;
  int64_t write_count_ = 0;  // bytes waiting in buffer_ to be written
};

// A stream over a growable block of memory.
class TMemoryStream final : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(bytes_.size()); }

  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  std::vector<uint8_t>& Bytes() { return bytes_; }
  void Clear();

 private:
  std::vector<uint8_t> bytes_;
  int64_t position_ = 0;
};

}  // namespace platform
