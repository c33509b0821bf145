// Reads an H.264 Annex B byte stream file NAL unit by NAL unit, with large
// sequential reads and no copy: a NAL unit stays valid until the next call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TAnnexBReader {
public:
  // Throws std::runtime_error naming the file when it cannot be read or
  // does not begin with a start code (a length-prefixed MP4-style stream).
  explicit TAnnexBReader(const std::string& path);
  ~TAnnexBReader();
  TAnnexBReader(const TAnnexBReader&) = delete;
  TAnnexBReader& operator=(const TAnnexBReader&) = delete;

  // The next NAL unit without start code and trailing zero bytes.
  bool next(const uint8_t*& data, size_t& size);

  uint64_t fileSize() const { return fileSize_; }
  uint64_t bytesRead() const { return fileOffset_; }

private:
  bool refill();

  std::string path_;
  int fd_ = -1;
  std::vector<uint8_t> buffer_;
  size_t begin_ = 0;  // first byte of the next NAL unit's payload
  size_t end_ = 0;    // end of valid data
  bool eof_ = false;
  uint64_t fileSize_ = 0;
  uint64_t fileOffset_ = 0;
};
