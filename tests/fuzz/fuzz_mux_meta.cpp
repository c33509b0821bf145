// Fuzzes the muxer's meta file reader: any text is read or refused with a
// message naming the line, and the chapters read are what a playlist can
// hold: in time order, each once, within 32-bit 45 kHz times.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "tools/mux/muxmeta.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TMetaFile meta;
    try {
        meta = ParseMetaFile(std::string(reinterpret_cast<const char *>(data), size));
    } catch (const std::runtime_error &e) {
        if (std::string(e.what()).rfind("meta file line ", 0) != 0)
            std::abort();
        return 0;
    }
    const std::vector<uint64_t> &chapters = meta.Options.ChaptersMs;
    if (chapters.size() > 65535
        || std::adjacent_find(chapters.begin(), chapters.end(), std::greater_equal<>()) != chapters.end())
        std::abort();
    if (!chapters.empty() && chapters.back() * 45 > UINT32_MAX)
        std::abort();
    return 0;
}
