// Big-endian bit reader over raw byte sequence payloads (emulation
// prevention bytes already removed), with Exp-Golomb codes. Reading past
// the end throws std::runtime_error: a truncated header is bad input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class TBitReader {
public:
  TBitReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint32_t bits(int count);  // 0..32 bits
  bool flag() { return bits(1) != 0; }
  uint32_t ue();
  int32_t se();
  void skip(size_t count);
  bool moreData() const { return pos_ < size_ * 8; }

private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Copies a NAL unit's payload without its emulation prevention bytes,
// stopping after `limit` output bytes (headers need only the beginning).
std::vector<uint8_t> unescapeNal(const uint8_t* data, size_t size, size_t limit = SIZE_MAX);
