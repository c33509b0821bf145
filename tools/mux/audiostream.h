// Reads an AC-3 elementary stream frame by frame. Frames follow each other
// without gaps, so the presentation time of frame k is the start time plus
// k frame durations.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/common/streamfile.h"
#include "media/ac3parser.h"

class TAc3Stream
{
public:
    // Throws std::runtime_error naming the file when it cannot be read or
    // does not begin with an AC-3 sync frame.
    explicit TAc3Stream(const std::string &path);

    // The next whole frame; false at the end. A damaged stretch is skipped up
    // to the next sync frame and counted.
    bool Next(std::vector<uint8_t> &frame);

    const TAc3Frame &Format() const { return FFirst; }
    uint64_t FrameDuration27() const { return uint64_t(27000000) * TAc3Frame::kSamples / FFirst.SampleRate; }
    uint32_t SkippedStretches() const { return FSkipped; }
    uint64_t BytesRead() const { return FFile.BytesRead(); }
    uint64_t FileSize() const { return FFile.FileSize(); }

private:
    TStreamFile FFile;
    TAc3Frame FFirst;
    uint32_t FSkipped = 0;
};
