// CRC-32/MPEG-2 (polynomial 0x04C11DB7, no reflection, initial value all
// ones, no final xor), the checksum of MPEG-TS program-specific sections.
#pragma once

#include <cstddef>
#include <cstdint>

uint32_t Crc32Mpeg(const uint8_t *data, size_t size);
