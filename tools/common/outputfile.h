// Buffered output file written with write(2). Failures throw
// std::runtime_error naming the file, so a full disc is never silent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <memory>
#include <vector>

class TOutputFile {
public:
  explicit TOutputFile(const std::string& path);
  ~TOutputFile();
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  void write(const void* data, size_t size);
  // Room for `size` bytes at the end of the buffer, to be filled in place.
  uint8_t* reserve(size_t size);
  // Flushes and closes; throws when the data could not all be written.
  void close();
  uint64_t bytesWritten() const { return written_ + used_; }

private:
  void flush();

  std::string path_;
  int fd_ = -1;
  std::unique_ptr<uint8_t[]> buffer_;
  size_t used_ = 0;
  uint64_t written_ = 0;
};

// Writes a whole small file at once (structure files, backups).
void writeWholeFile(const std::string& path, const std::vector<uint8_t>& data);
