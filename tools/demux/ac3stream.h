// The AC-3 elementary stream of one clip, gathered from its PES packets and
// cut into sync frames, each with the time stamp it plays at. A PES time
// stamp belongs to the first frame that starts in that PES; the frames
// after it follow at 1536 samples each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace demux {

class TAc3Stream
{
public:
    struct TFrame
    {
        size_t Offset;
        size_t Size;
        std::optional<int64_t> Pts;  // 90 kHz ticks
    };

    void Clear();
    void AddPes(const uint8_t *data, size_t size, std::optional<int64_t> pts);
    // Cuts the stream into frames; bytes that start no frame (damage) are
    // skipped and counted, an unfinished last frame is left out.
    std::vector<TFrame> Frames(int sampleRate);
    const uint8_t *Data() const { return FBytes.data(); }
    size_t SkippedBytes() const { return FSkipped; }

private:
    struct TMark
    {
        size_t Offset;
        int64_t Pts;
    };
    std::vector<uint8_t> FBytes;
    std::vector<TMark> FMarks;  // where PES packets with a time stamp start
    size_t FSkipped = 0;
};

}  // namespace demux
