#include "mux/audiostream.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "common/stopflag.h"

namespace {

constexpr size_t kReadSize = 1 << 20;

}  // namespace

TAc3Stream::TAc3Stream(const std::string& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0)
    throw std::runtime_error("cannot open \"" + path + "\": " + std::strerror(errno));
  struct stat st {};
  if (::fstat(fd_, &st) == 0) fileSize_ = uint64_t(st.st_size);
  ensure(8);
  std::optional<TAc3Frame> frame = parseAc3Header(buffer_.data() + begin_, end_ - begin_);
  if (!frame) throw std::runtime_error("\"" + path + "\" is not an AC-3 stream");
  first_ = *frame;
}

TAc3Stream::~TAc3Stream() {
  if (fd_ >= 0) ::close(fd_);
}

// Makes at least `bytes` bytes available from begin_, unless the file ends.
bool TAc3Stream::ensure(size_t bytes) {
  while (end_ - begin_ < bytes && !eof_) {
    throwIfStopRequested();
    if (begin_ > 0) {
      std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
      end_ -= begin_;
      begin_ = 0;
    }
    if (buffer_.size() < end_ + kReadSize) buffer_.resize(end_ + kReadSize);
    ssize_t n = ::read(fd_, buffer_.data() + end_, kReadSize);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw std::runtime_error("cannot read \"" + path_ + "\": " + std::strerror(errno));
    if (n == 0) eof_ = true;
    end_ += size_t(n);
    fileOffset_ += uint64_t(n);
  }
  return end_ - begin_ >= bytes;
}

bool TAc3Stream::next(std::vector<uint8_t>& out) {
  bool skipping = false;
  while (ensure(8)) {
    std::optional<TAc3Frame> frame = parseAc3Header(buffer_.data() + begin_, end_ - begin_);
    if (frame && ensure(frame->size)) {
      out.assign(buffer_.begin() + std::ptrdiff_t(begin_),
                 buffer_.begin() + std::ptrdiff_t(begin_ + frame->size));
      begin_ += frame->size;
      return true;
    }
    if (frame && eof_) break;  // truncated last frame
    if (!skipping) ++skipped_;
    skipping = true;
    ++begin_;
  }
  if (end_ > begin_ && !skipping) ++skipped_;
  begin_ = end_;
  return false;
}
