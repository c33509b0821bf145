#include "media/bitreader.h"

#include <algorithm>
#include <stdexcept>

uint32_t TBitReader::bits(int count) {
  if (count == 0) return 0;
  if (pos_ + size_t(count) > size_ * 8) throw std::runtime_error("truncated header");
  uint32_t value = 0;
  for (int i = 0; i < count; ++i, ++pos_)
    value = value << 1 | ((data_[pos_ >> 3] >> (7 - (pos_ & 7))) & 1);
  return value;
}

uint32_t TBitReader::ue() {
  int zeros = 0;
  while (bits(1) == 0) {
    if (++zeros > 31) throw std::runtime_error("invalid Exp-Golomb code");
  }
  return uint32_t((uint64_t(1) << zeros) - 1 + bits(zeros));
}

int32_t TBitReader::se() {
  uint32_t code = ue();
  return (code & 1) ? int32_t((code + 1) / 2) : -int32_t(code / 2);
}

void TBitReader::skip(size_t count) {
  if (pos_ + count > size_ * 8) throw std::runtime_error("truncated header");
  pos_ += count;
}

std::vector<uint8_t> unescapeNal(const uint8_t* data, size_t size, size_t limit) {
  std::vector<uint8_t> out;
  out.reserve(std::min(size, limit));
  int zeros = 0;
  for (size_t i = 0; i < size && out.size() < limit; ++i) {
    if (zeros >= 2 && data[i] == 0x03) {
      zeros = 0;
      continue;
    }
    zeros = data[i] == 0 ? zeros + 1 : 0;
    out.push_back(data[i]);
  }
  return out;
}
