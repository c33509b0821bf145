#include "media/crc32mpeg.h"

#include <array>

namespace {

std::array<uint32_t, 256> MakeTable()
{
    std::array<uint32_t, 256> table {};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        table[i] = crc;
    }
    return table;
}

}  // namespace

uint32_t Crc32Mpeg(const uint8_t *data, size_t size)
{
    static const std::array<uint32_t, 256> table = MakeTable();
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i)
        crc = (crc << 8) ^ table[((crc >> 24) ^ data[i]) & 0xFF];
    return crc;
}
