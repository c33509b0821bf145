#include "mux/audiostream.h"

#include <stdexcept>

namespace {

constexpr size_t kReadSize = 1 << 20;

}  // namespace

TAc3Stream::TAc3Stream(const std::string& path) : file_(path, kReadSize) {
  file_.Ensure(8);
  std::optional<TAc3Frame> frame = parseAc3Header(file_.Data(), file_.Available());
  if (!frame) throw std::runtime_error("\"" + path + "\" is not an AC-3 stream");
  first_ = *frame;
}

bool TAc3Stream::next(std::vector<uint8_t>& out) {
  bool skipping = false;
  while (file_.Ensure(8)) {
    std::optional<TAc3Frame> frame = parseAc3Header(file_.Data(), file_.Available());
    if (frame && file_.Ensure(frame->size)) {
      out.assign(file_.Data(), file_.Data() + frame->size);
      file_.Consume(frame->size);
      return true;
    }
    if (frame && file_.AtEnd()) break;  // truncated last frame
    if (!skipping) ++skipped_;
    skipping = true;
    file_.Consume(1);
  }
  if (file_.Available() > 0 && !skipping) ++skipped_;
  file_.Consume(file_.Available());
  return false;
}
