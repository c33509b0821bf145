// Big-endian bit writer for the disc structure files. Every field width is
// checked against its value, and length fields are reserved first and
// patched once their block is complete, so no length is counted by hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class TBitWriter {
public:
  // Appends the low `bits` bits of value; throws std::logic_error when the
  // value does not fit or bits is outside 1..64.
  void put(uint64_t value, int bits);
  void putZeros(size_t bytes);
  void putBytes(std::string_view text);
  void putBytes(const std::vector<uint8_t>& data);

  // Position in bytes; the writer must be byte aligned.
  size_t bytePos() const;
  size_t bitCount() const { return data_.size() * 8 - size_t(bitFill_ ? 8 - bitFill_ : 0); }

  // Reserves a length field of `bits` (8, 16 or 32) and returns a marker;
  // endLength writes into it the byte count written after the field.
  size_t beginLength(int bits);
  void endLength(size_t marker);

  // Overwrites an aligned field written earlier (start addresses).
  void patch(size_t bytePosition, uint64_t value, int bits);

  const std::vector<uint8_t>& bytes() const;

private:
  std::vector<uint8_t> data_;
  int bitFill_ = 0;  // bits used in the last byte, 0 when aligned
  std::vector<int> lengthWidths_;
};
