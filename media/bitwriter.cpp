#include "media/bitwriter.h"

#include <stdexcept>
#include <string>

namespace {

void checkWidth(uint64_t value, int bits) {
  if (bits < 1 || bits > 64)
    throw std::logic_error("bit field width " + std::to_string(bits) + " out of range");
  if (bits < 64 && (value >> bits) != 0)
    throw std::logic_error("value " + std::to_string(value) + " does not fit in " +
                           std::to_string(bits) + " bits");
}

}  // namespace

void TBitWriter::put(uint64_t value, int bits) {
  checkWidth(value, bits);
  for (int i = bits - 1; i >= 0; --i) {
    if (bitFill_ == 0) data_.push_back(0);
    if ((value >> i) & 1) data_.back() |= uint8_t(0x80 >> bitFill_);
    bitFill_ = (bitFill_ + 1) % 8;
  }
}

void TBitWriter::putZeros(size_t bytes) {
  bytePos();
  data_.insert(data_.end(), bytes, 0);
}

void TBitWriter::putBytes(std::string_view text) {
  bytePos();
  data_.insert(data_.end(), text.begin(), text.end());
}

void TBitWriter::putBytes(const std::vector<uint8_t>& bytes) {
  bytePos();
  data_.insert(data_.end(), bytes.begin(), bytes.end());
}

size_t TBitWriter::bytePos() const {
  if (bitFill_ != 0) throw std::logic_error("bit writer not byte aligned");
  return data_.size();
}

size_t TBitWriter::beginLength(int bits) {
  if (bits != 8 && bits != 16 && bits != 32)
    throw std::logic_error("length fields are 8, 16 or 32 bits");
  size_t marker = bytePos();
  put(0, bits);
  if (lengthWidths_.size() <= marker) lengthWidths_.resize(marker + 1, 0);
  lengthWidths_[marker] = bits;
  return marker;
}

void TBitWriter::endLength(size_t marker) {
  if (marker >= lengthWidths_.size() || lengthWidths_[marker] == 0)
    throw std::logic_error("no length field at this marker");
  int bits = lengthWidths_[marker];
  lengthWidths_[marker] = 0;
  patch(marker, bytePos() - marker - size_t(bits / 8), bits);
}

void TBitWriter::patch(size_t bytePosition, uint64_t value, int bits) {
  checkWidth(value, bits);
  if (bits % 8 != 0 || bytePosition + size_t(bits / 8) > data_.size())
    throw std::logic_error("patched field outside the written bytes");
  for (int i = 0; i < bits / 8; ++i)
    data_[bytePosition + size_t(i)] = uint8_t(value >> (bits - 8 - 8 * i));
}

const std::vector<uint8_t>& TBitWriter::bytes() const {
  bytePos();
  return data_;
}
