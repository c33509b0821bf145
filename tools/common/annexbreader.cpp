#include "tools/common/annexbreader.h"

#include <cstring>
#include <stdexcept>
#include <string>

#include "media/annexb.h"

namespace {

constexpr size_t kReadSize = 8 << 20;
constexpr size_t kLargestNal = 32 << 20;

// Where the run of zero bytes that ends [begin, end) starts: whole blocks
// are compared at once, as the run may be gigabytes long.
const uint8_t *StartOfTrailingZeros(const uint8_t *begin, const uint8_t *end)
{
    constexpr size_t kBlock = 4096;
    while (size_t(end - begin) >= kBlock && end[-ptrdiff_t(kBlock)] == 0
           && std::memcmp(end - kBlock, end - kBlock + 1, kBlock - 1) == 0)
        end -= kBlock;
    return EndOfNal(begin, end);
}

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

// The NAL unit buffered has run past the cap: zero bytes at its end are
// dropped, but for two that may begin the next start code, so that memory
// stays bounded; other bytes past the cap are not H.264.
void TAnnexBReader::DropTrailingZeros()
{
    const uint8_t *start = FFile.Data();
    const uint8_t *end = start + FFile.Available();
    const uint8_t *content = StartOfTrailingZeros(start, end);
    if (size_t(content - start) > kLargestNal)
        throw std::runtime_error("\"" + FFile.Path() + "\" holds a NAL unit longer than "
                                 + std::to_string(kLargestNal >> 20)
                                 + " MB: it is damaged or not an H.264 stream");
    const size_t zeros = size_t(end - content);
    const size_t dropped = zeros > 2 ? zeros - 2 : 0;
    FFile.DropBack(dropped);
    FZerosSkipped += dropped;
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
        if (FFile.Available() > kLargestNal)
            DropTrailingZeros();
        scanned = FFile.Available() > 2 ? FFile.Available() - 2 : 0;
        FFile.ReadMore();
    }
}
