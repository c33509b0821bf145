// Reads an H.264 Annex B stream and hands out its frames (a frame picture
// or a complementary field pair) in decoding order with presentation and
// decoding times computed from the stream's own picture order counts at
// the given frame rate. Every frame starts with an access unit delimiter;
// with `repeatParamSets`, every intra frame carries the parameter sets it
// uses, copied from the last ones the stream itself sent with those ids.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "tools/common/annexbreader.h"
#include "media/h264parser.h"
#include "media/h264poc.h"

struct TFrameRate
{
    uint32_t Num = 25;
    uint32_t Den = 1;
    uint64_t FrameDuration27() const { return uint64_t(27000000) * Den / Num; }
};

struct TVideoFrame
{
    std::vector<uint8_t> Buffer;  // `headroom` free bytes, then the Annex B data
    size_t Headroom = 0;
    uint64_t Pts27 = 0;
    uint64_t Dts27 = 0;
    bool Intra = false;  // its first picture is I or IDR: an entry point

    const uint8_t *Data() const { return Buffer.data() + Headroom; }
    size_t Size() const { return Buffer.size() - Headroom; }
};

class TVideoStream
{
public:
    // Opens the file and reads the first frame's headers; throws
    // std::runtime_error naming the file for unreadable or invalid input.
    TVideoStream(const std::string &path, TFrameRate rate, bool repeatParamSets, uint64_t firstPts27);

    bool Next(TVideoFrame &frame);

    // The parameters of the first picture's sequence parameter set.
    const TH264Sps &FirstSps() const { return FFirstSps; }
    // End of presentation of everything handed out so far.
    uint64_t EndPts27() const { return FEndPts27; }
    uint64_t FirstPts27() const { return FFirstPts27; }
    uint64_t BytesRead() const { return FReader.BytesRead(); }
    uint64_t FileSize() const { return FReader.FileSize(); }
    // Frames whose decoding time had to be moved past its natural place.
    uint32_t TimingRepairs() const { return FTimingRepairs; }
    // Slices whose header could not be read, kept in the picture they came in.
    uint32_t DamagedSlices() const { return FDamagedSlices; }
    // Zero bytes passed over where no picture followed.
    uint64_t ZerosSkipped() const { return FReader.ZerosSkipped(); }

private:
    struct TPicture
    {
        std::vector<uint8_t> Buffer;  // headroom, then the picture's NAL units
        size_t Start = 0;  // where the written data begins
        TH264SliceHeader Slice;
        TPictureOrder Order;
        uint8_t SliceTypes = 0;  // bit per slice type seen
        bool HasAud = false;
        bool HasSps = false;
        bool HasPps = false;
    };
    struct TPending
    {
        TVideoFrame Frame;
        int32_t Poc = 0;
        uint64_t Segment = 0;
        uint64_t IndexInSegment = 0;
        uint32_t ReorderLimit = 0;  // max_num_reorder_frames of its SPS, 0 when absent
    };

    bool ReadNal(const uint8_t *&data, size_t &size);
    bool ReadPicture(TPicture &picture);
    void AppendNal(TPicture &picture, const uint8_t *data, size_t size);
    bool ReadFrame(TPending &pending);
    bool PairsWith(const TPicture &first, const TPicture &second) const;
    void PrependHeaders(TPicture &picture, bool withParamSets);
    bool FillWindow();
    uint64_t DisplayRank(size_t windowIndex) const;
    uint64_t ReorderDepth(uint64_t segment) const;
    void AssignTimes(TPending &pending);
    std::string Fail(const std::string &what) const;

    std::string FPath;
    TAnnexBReader FReader;
    TFrameRate FRate;
    bool FRepeatParamSets;
    TH264ParamSets FParams;
    std::vector<std::vector<uint8_t>> FRawSps = std::vector<std::vector<uint8_t>>(32);
    std::vector<std::vector<uint8_t>> FRawPps = std::vector<std::vector<uint8_t>>(256);
    TH264PocCalculator FPoc;
    TH264Sps FFirstSps;
    bool FHaveFirstSps = false;

    // One NAL unit read ahead (the first of the next picture).
    bool FHaveNal = false;
    const uint8_t *FNalData = nullptr;
    size_t FNalSize = 0;
    // One picture read ahead (to pair fields).
    bool FHavePicture = false;
    TPicture FNextPicture;
    bool FEndOfStream = false;
    size_t FLargestPicture = 0;

    // Frames read but not yet timed, and the order counts of recent ones.
    std::deque<TPending> FWindow;
    struct TOrderMark
    {
        int32_t Poc;
        uint64_t Segment;
    };
    std::deque<TOrderMark> FHistory;  // the last frames handed out
    uint64_t FSegment = 0;
    uint64_t FSegmentCount = 0;  // frames read in the current segment
    uint64_t FTimedSegment = UINT64_MAX;
    uint64_t FSegmentStart27 = 0;  // presentation start of the segment being timed
    // Frames decoding runs ahead of presentation: the deepest reordering met
    // so far. Decoding times step by one frame duration, except for a short
    // catch-up (steps of FCatchUpStep27) where a deeper reordering starts.
    uint64_t FDecodeDelay = 0;
    int64_t FCatchUpStep27 = 0;
    uint64_t FFramesInTimedSegment = 0;
    uint64_t FFirstPts27;
    uint64_t FEndPts27 = 0;
    uint64_t FLastDts27 = 0;
    bool FAnyTimed = false;
    uint32_t FTimingRepairs = 0;
    uint32_t FDamagedSlices = 0;
};

TFrameRate ParseFrameRate(const std::string &text);
