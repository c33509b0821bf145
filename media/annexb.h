// Start codes of H.264 Annex B byte streams: 00 00 01 before each NAL unit,
// with any zero bytes before it belonging to the start code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// The 01 of the first 00 00 01 whose 01 lies at `from + 2` or after, and
// before `end`; nullptr when there is none.
inline const uint8_t *FindStartCode(const uint8_t *from, const uint8_t *end)
{
    // Fewer than three bytes hold no start code; `from` may then be null.
    if (end - from < 3)
        return nullptr;
    const uint8_t *p = from + 2;
    while (p < end) {
        p = static_cast<const uint8_t *>(std::memchr(p, 1, size_t(end - p)));
        if (!p)
            return nullptr;
        if (p[-1] == 0 && p[-2] == 0)
            return p;
        ++p;
    }
    return nullptr;
}

// The end of the NAL unit that runs from `nal` up to the start code at or
// before `next`: trailing zero bytes are part of the next start code.
inline const uint8_t *EndOfNal(const uint8_t *nal, const uint8_t *next)
{
    while (next > nal && next[-1] == 0)
        --next;
    return next;
}

// Calls `visit(nal, size)` for each NAL unit of `data` (start code left
// out) until it returns false.
template <typename TVisit> void ForEachNal(const uint8_t *data, size_t size, TVisit visit)
{
    const uint8_t *end = data + size;
    const uint8_t *code = FindStartCode(data, end);
    while (code) {
        const uint8_t *nal = code + 1;
        const uint8_t *next = FindStartCode(nal, end);
        const uint8_t *last = EndOfNal(nal, next ? next - 2 : end);
        if (last > nal && !visit(nal, size_t(last - nal)))
            return;
        code = next;
    }
}
