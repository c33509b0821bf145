#include "media/bitreader.h"

#include <algorithm>
#include <stdexcept>

uint32_t TBitReader::Bits(int count)
{
    if (count == 0)
        return 0;
    if (FPos + size_t(count) > FSize * 8)
        throw std::runtime_error("truncated header");
    uint32_t value = 0;
    for (int i = 0; i < count; ++i, ++FPos)
        value = value << 1 | ((FData[FPos >> 3] >> (7 - (FPos & 7))) & 1);
    return value;
}

uint32_t TBitReader::Ue()
{
    int zeros = 0;
    while (Bits(1) == 0) {
        if (++zeros > 31)
            throw std::runtime_error("invalid Exp-Golomb code");
    }
    return uint32_t((uint64_t(1) << zeros) - 1 + Bits(zeros));
}

int32_t TBitReader::Se()
{
    uint32_t code = Ue();
    return (code & 1) ? int32_t((code + 1) / 2) : -int32_t(code / 2);
}

void TBitReader::Skip(size_t count)
{
    if (FPos + count > FSize * 8)
        throw std::runtime_error("truncated header");
    FPos += count;
}

std::vector<uint8_t> UnescapeNal(const uint8_t *data, size_t size, size_t limit)
{
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
