// Big-endian bit writer for the disc structure files. Every field width is
// checked against its value, and length fields are reserved first and
// patched once their block is complete, so no length is counted by hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class TBitWriter
{
public:
    // Appends the low `bits` bits of value; throws std::logic_error when the
    // value does not fit or bits is outside 1..64.
    void Put(uint64_t value, int bits);
    // A reserved field of `bits` (at least 1) bits, written as zeros.
    void PutReserved(int bits);
    void PutZeros(size_t bytes);
    void PutBytes(std::string_view text);
    void PutBytes(const std::vector<uint8_t> &data);

    // Position in bytes; the writer must be byte aligned.
    size_t BytePos() const;
    size_t BitCount() const { return FData.size() * 8 - size_t(FBitFill ? 8 - FBitFill : 0); }

    // Reserves a length field of `bits` (8, 16 or 32) and returns a marker;
    // endLength writes into it the byte count written after the field.
    size_t BeginLength(int bits);
    void EndLength(size_t marker);

    // Overwrites an aligned field written earlier (start addresses).
    void Patch(size_t bytePosition, uint64_t value, int bits);

    const std::vector<uint8_t> &Bytes() const;

private:
    std::vector<uint8_t> FData;
    int FBitFill = 0;  // bits used in the last byte, 0 when aligned
    std::vector<int> FLengthWidths;
};
