#include "tools/mux/audiostream.h"

#include <stdexcept>

namespace {

constexpr size_t kReadSize = 1 << 20;

}  // namespace

TAc3Stream::TAc3Stream(const std::string &path) : FFile(path, kReadSize)
{
    FFile.Ensure(8);
    std::optional<TAc3Frame> frame = ParseAc3Header(FFile.Data(), FFile.Available());
    if (!frame)
        throw std::runtime_error("\"" + path + "\" is not an AC-3 stream");
    FFirst = *frame;
}

bool TAc3Stream::Next(std::vector<uint8_t> &out)
{
    bool skipping = false;
    while (FFile.Ensure(8)) {
        std::optional<TAc3Frame> frame = ParseAc3Header(FFile.Data(), FFile.Available());
        if (frame && FFile.Ensure(frame->Size)) {
            out.assign(FFile.Data(), FFile.Data() + frame->Size);
            FFile.Consume(frame->Size);
            return true;
        }
        if (frame && FFile.AtEnd())
            break;  // truncated last frame
        if (!skipping)
            ++FSkipped;
        skipping = true;
        FFile.Consume(1);
    }
    if (FFile.Available() > 0 && !skipping)
        ++FSkipped;
    FFile.Consume(FFile.Available());
    return false;
}
