#include "common/annexbreader.h"

#include <stdexcept>

#include "media/annexb.h"

namespace {

constexpr size_t kReadSize = 8 << 20;

}  // namespace

TAnnexBReader::TAnnexBReader(const std::string& path) : file_(path, kReadSize) {
  file_.ReadMore();
  const uint8_t* data = file_.Data();
  size_t zeros = 0;
  while (zeros < file_.Available() && data[zeros] == 0) ++zeros;
  if (zeros < 2 || zeros >= file_.Available() || data[zeros] != 1)
    throw std::runtime_error("\"" + path + "\" is not an H.264 Annex B byte stream "
                             "(it does not begin with a start code)");
  file_.Consume(zeros + 1);
}

bool TAnnexBReader::next(const uint8_t*& data, size_t& size) {
  size_t scanned = 0;  // unread bytes already searched for the next start code
  for (;;) {
    if (file_.Available() == 0 && !file_.ReadMore()) return false;
    const uint8_t* start = file_.Data();
    const uint8_t* end = start + file_.Available();
    const uint8_t* code = FindStartCode(start + scanned, end);
    if (code || file_.AtEnd()) {
      data = start;
      size = size_t(EndOfNal(start, code ? code - 2 : end) - start);
      file_.Consume(code ? size_t(code + 1 - start) : file_.Available());
      return size > 0 || code;
    }
    // No further start code buffered: read more, and search again from
    // the last two bytes searched.
    scanned = file_.Available() > 2 ? file_.Available() - 2 : 0;
    file_.ReadMore();
  }
}
