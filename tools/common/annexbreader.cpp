#include "common/annexbreader.h"

#include <stdexcept>

#include "media/annexb.h"

namespace {

constexpr size_t kReadSize = 8 << 20;

}  // namespace

TAnnexBReader::TAnnexBReader(const std::string &path) : FFile(path, kReadSize)
{
    FFile.ReadMore();
    const uint8_t *data = FFile.Data();
    size_t zeros = 0;
    while (zeros < FFile.Available() && data[zeros] == 0)
        ++zeros;
    if (zeros < 2 || zeros >= FFile.Available() || data[zeros] != 1)
        throw std::runtime_error("\"" + path
                                 + "\" is not an H.264 Annex B byte stream "
                                   "(it does not begin with a start code)");
    FFile.Consume(zeros + 1);
}

bool TAnnexBReader::Next(const uint8_t *&data, size_t &size)
{
    size_t scanned = 0;  // unread bytes already searched for the next start code
    for (;;) {
        if (FFile.Available() == 0 && !FFile.ReadMore())
            return false;
        const uint8_t *start = FFile.Data();
        const uint8_t *end = start + FFile.Available();
        const uint8_t *code = FindStartCode(start + scanned, end);
        if (code || FFile.AtEnd()) {
            data = start;
            size = size_t(EndOfNal(start, code ? code - 2 : end) - start);
            FFile.Consume(code ? size_t(code + 1 - start) : FFile.Available());
            return size > 0 || code;
        }
        // No further start code buffered: read more, and search again from
        // the last two bytes searched.
        scanned = FFile.Available() > 2 ? FFile.Available() - 2 : 0;
        FFile.ReadMore();
    }
}
