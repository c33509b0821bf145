#include "tools/demux/ac3stream.h"

#include "tools/demux/audiofitter.h"
#include "media/ac3parser.h"

namespace demux {

namespace {

constexpr size_t kHeaderSize = 8;

}  // namespace

void TAc3Stream::Clear()
{
    FBytes.clear();
    FMarks.clear();
    FSkipped = 0;
}

void TAc3Stream::AddPes(const uint8_t *data, size_t size, std::optional<int64_t> pts)
{
    if (pts)
        FMarks.push_back({FBytes.size(), *pts});
    FBytes.insert(FBytes.end(), data, data + size);
}

std::vector<TAc3Stream::TFrame> TAc3Stream::Frames(int sampleRate)
{
    std::vector<TFrame> frames;
    size_t mark = 0;  // next time stamp mark not yet given to a frame
    std::optional<int64_t> basePts;
    int64_t sinceBase = 0;  // frames since the one that carried basePts
    size_t at = 0;
    while (at + kHeaderSize <= FBytes.size()) {
        const std::optional<TAc3Frame> header = ParseAc3Header(FBytes.data() + at, FBytes.size() - at);
        if (!header) {
            ++FSkipped;
            ++at;
            continue;
        }
        const size_t size = header->Size;
        if (at + size > FBytes.size())
            break;
        // The latest mark at or before this frame's start, if no earlier frame
        // has taken it, stamps this frame.
        bool stamped = false;
        while (mark < FMarks.size() && FMarks[mark].Offset <= at) {
            basePts = FMarks[mark++].Pts;
            stamped = true;
        }
        if (stamped)
            sinceBase = 0;
        std::optional<int64_t> pts;
        if (basePts)
            pts = *basePts + sinceBase * kAc3FrameSamples * kTicksPerSecond / sampleRate;
        frames.push_back({at, size, pts});
        ++sinceBase;
        at += size;
    }
    FSkipped += FBytes.size() - at;
    return frames;
}

}  // namespace demux
