#include "common/outputfile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace {

constexpr size_t kBufferSize = 4 << 20;

std::runtime_error fileError(const std::string& what, const std::string& path) {
  return std::runtime_error(what + " \"" + path + "\": " + std::strerror(errno));
}

}  // namespace

TOutputFile::TOutputFile(const std::string& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd_ < 0) throw fileError("cannot create", path);
  buffer_.reset(new uint8_t[kBufferSize]);
}

TOutputFile::~TOutputFile() {
  if (fd_ >= 0) ::close(fd_);
}

void TOutputFile::write(const void* data, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    size_t part = std::min(size, kBufferSize);
    std::memcpy(reserve(part), p, part);
    p += part;
    size -= part;
  }
}

uint8_t* TOutputFile::reserve(size_t size) {
  if (size > kBufferSize) throw std::logic_error("output block larger than the buffer");
  if (used_ + size > kBufferSize) flush();
  uint8_t* p = buffer_.get() + used_;
  used_ += size;
  return p;
}

void TOutputFile::flush() {
  const uint8_t* p = buffer_.get();
  size_t left = used_;
  while (left > 0) {
    ssize_t n = ::write(fd_, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw fileError("cannot write", path_);
    }
    p += n;
    left -= size_t(n);
  }
  written_ += used_;
  used_ = 0;
}

void TOutputFile::close() {
  if (fd_ < 0) return;
  flush();
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) throw fileError("cannot close", path_);
}

void writeWholeFile(const std::string& path, const std::vector<uint8_t>& data) {
  TOutputFile file(path);
  file.write(data.data(), data.size());
  file.close();
}
