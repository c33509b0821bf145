#include "common/annexbreader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "common/stopflag.h"
#include "media/annexb.h"

namespace {

constexpr size_t kReadSize = 8 << 20;

}  // namespace

TAnnexBReader::TAnnexBReader(const std::string& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0)
    throw std::runtime_error("cannot open \"" + path + "\": " + std::strerror(errno));
  struct stat st {};
  if (::fstat(fd_, &st) == 0) fileSize_ = uint64_t(st.st_size);
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
  buffer_.resize(2 * kReadSize);
  refill();
  size_t zeros = 0;
  while (zeros < end_ && buffer_[zeros] == 0) ++zeros;
  if (zeros < 2 || zeros >= end_ || buffer_[zeros] != 1)
    throw std::runtime_error("\"" + path + "\" is not an H.264 Annex B byte stream "
                             "(it does not begin with a start code)");
  begin_ = zeros + 1;
}

TAnnexBReader::~TAnnexBReader() {
  if (fd_ >= 0) ::close(fd_);
}

bool TAnnexBReader::refill() {
  if (eof_) return false;
  throwIfStopRequested();
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (buffer_.size() - end_ < kReadSize) buffer_.resize(end_ + kReadSize);
  for (;;) {
    ssize_t n = ::read(fd_, buffer_.data() + end_, kReadSize);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw std::runtime_error("cannot read \"" + path_ + "\": " + std::strerror(errno));
    if (n == 0) eof_ = true;
    end_ += size_t(n);
    fileOffset_ += uint64_t(n);
    return n > 0;
  }
}

bool TAnnexBReader::next(const uint8_t*& data, size_t& size) {
  size_t scanFrom = begin_;
  for (;;) {
    if (begin_ >= end_ && !refill()) return false;
    const uint8_t* code = FindStartCode(buffer_.data() + scanFrom, buffer_.data() + end_);
    if (code || eof_) {
      const uint8_t* start = buffer_.data() + begin_;
      const uint8_t* stop = EndOfNal(start, code ? code - 2 : buffer_.data() + end_);
      data = start;
      size = size_t(stop - start);
      begin_ = code ? size_t(code - buffer_.data()) + 1 : end_;
      if (size == 0 && !code) return false;
      return true;
    }
    // No further start code in the buffer: read more and rescan its tail.
    size_t scanned = end_ > begin_ + 2 ? end_ - begin_ - 2 : 0;
    refill();
    scanFrom = begin_ + scanned;
  }
}
