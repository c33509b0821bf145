// Big-endian bit reader over raw byte sequence payloads (emulation
// prevention bytes already removed), with Exp-Golomb codes. Reading past
// the end throws std::runtime_error: a truncated header is bad input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class TBitReader
{
public:
    TBitReader(const uint8_t *data, size_t size) : FData(data), FSize(size) { }

    uint32_t Bits(int count);  // 0..32 bits
    bool Flag() { return Bits(1) != 0; }
    uint32_t Ue();
    int32_t Se();
    void Skip(size_t count);
    bool MoreData() const { return FPos < FSize * 8; }

private:
    const uint8_t *FData;
    size_t FSize;
    size_t FPos = 0;
};

// Copies a NAL unit's payload without its emulation prevention bytes,
// stopping after `limit` output bytes (headers need only the beginning).
std::vector<uint8_t> UnescapeNal(const uint8_t *data, size_t size, size_t limit = SIZE_MAX);
