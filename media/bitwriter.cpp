#include "media/bitwriter.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

void CheckWidth(uint64_t value, int bits)
{
    if (bits < 1 || bits > 64)
        throw std::logic_error("bit field width " + std::to_string(bits) + " out of range");
    if (bits < 64 && (value >> bits) != 0)
        throw std::logic_error("value " + std::to_string(value) + " does not fit in " + std::to_string(bits)
                               + " bits");
}

}  // namespace

void TBitWriter::Put(uint64_t value, int bits)
{
    CheckWidth(value, bits);
    for (int i = bits - 1; i >= 0; --i) {
        if (FBitFill == 0)
            FData.push_back(0);
        if ((value >> i) & 1)
            FData.back() |= uint8_t(0x80 >> FBitFill);
        FBitFill = (FBitFill + 1) % 8;
    }
}

void TBitWriter::PutReserved(int bits)
{
    CheckWidth(0, std::min(bits, 64));  // refuses a width below 1
    for (; bits > 0; bits -= 64)
        Put(0, std::min(bits, 64));
}

void TBitWriter::PutZeros(size_t bytes)
{
    BytePos();
    FData.insert(FData.end(), bytes, 0);
}

void TBitWriter::PutBytes(std::string_view text)
{
    BytePos();
    FData.insert(FData.end(), text.begin(), text.end());
}

void TBitWriter::PutBytes(const std::vector<uint8_t> &bytes)
{
    BytePos();
    FData.insert(FData.end(), bytes.begin(), bytes.end());
}

size_t TBitWriter::BytePos() const
{
    if (FBitFill != 0)
        throw std::logic_error("bit writer not byte aligned");
    return FData.size();
}

size_t TBitWriter::BeginLength(int bits)
{
    if (bits != 8 && bits != 16 && bits != 32)
        throw std::logic_error("length fields are 8, 16 or 32 bits");
    size_t marker = BytePos();
    Put(0, bits);
    if (FLengthWidths.size() <= marker)
        FLengthWidths.resize(marker + 1, 0);
    FLengthWidths[marker] = bits;
    return marker;
}

void TBitWriter::EndLength(size_t marker)
{
    if (marker >= FLengthWidths.size() || FLengthWidths[marker] == 0)
        throw std::logic_error("no length field at this marker");
    int bits = FLengthWidths[marker];
    FLengthWidths[marker] = 0;
    Patch(marker, BytePos() - marker - size_t(bits / 8), bits);
}

void TBitWriter::Patch(size_t bytePosition, uint64_t value, int bits)
{
    CheckWidth(value, bits);
    if (bits % 8 != 0 || bytePosition + size_t(bits / 8) > FData.size())
        throw std::logic_error("patched field outside the written bytes");
    for (int i = 0; i < bits / 8; ++i)
        FData[bytePosition + size_t(i)] = uint8_t(value >> (bits - 8 - 8 * i));
}

const std::vector<uint8_t> &TBitWriter::Bytes() const
{
    BytePos();
    return FData;
}
