#include "tools/mux/videostream.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <stdexcept>

namespace {

// Frames a picture may be displayed away from its decoding position in a
// conforming stream is bounded by the 16-frame picture buffer; twice that
// is looked at on each side.
constexpr size_t kReorderWindow = 32;
constexpr size_t kHeadroom = 512;  // PES header, delimiter and parameter sets
constexpr uint8_t kStartCode[4] = {0, 0, 0, 1};

uint8_t PrimaryPicType(uint8_t sliceTypes)
{
    auto only = [&](std::initializer_list<ESliceType> allowed) {
        uint8_t mask = 0;
        for (ESliceType t : allowed)
            mask |= uint8_t(1 << int(t));
        return (sliceTypes & ~mask) == 0;
    };
    using S = ESliceType;
    if (only({S::I}))
        return 0;
    if (only({S::I, S::P}))
        return 1;
    if (only({S::I, S::P, S::B}))
        return 2;
    if (only({S::SI}))
        return 3;
    if (only({S::SI, S::SP}))
        return 4;
    if (only({S::I, S::SI}))
        return 5;
    if (only({S::I, S::SI, S::P, S::SP}))
        return 6;
    return 7;
}

bool StartsNewAccessUnit(uint8_t type)
{
    return type == 6 || type == 7 || type == 8 || type == 9 || (type >= 14 && type <= 18);
}

}  // namespace

TFrameRate ParseFrameRate(const std::string &text)
{
    char *end = nullptr;
    double fps = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !(fps >= 1 && fps <= 300))
        throw std::runtime_error("invalid frame rate \"" + text + "\"");
    double ntsc = std::round(fps * 1.001);
    if (std::fabs(fps - ntsc / 1.001) < 0.002 && std::fabs(fps - std::round(fps)) > 0.002)
        return TFrameRate {uint32_t(ntsc) * 1000, 1001};
    uint32_t num = uint32_t(std::round(fps * 1000));
    uint32_t divisor = std::gcd(num, 1000u);
    return TFrameRate {num / divisor, 1000 / divisor};
}

TVideoStream::TVideoStream(const std::string &path, TFrameRate rate, bool repeatParamSets,
                           uint64_t firstPts27)
    : FPath(path), FReader(path), FRate(rate), FRepeatParamSets(repeatParamSets), FFirstPts27(firstPts27)
{
    FillWindow();
    if (FWindow.empty())
        throw std::runtime_error(Fail("holds no picture"));
}

std::string TVideoStream::Fail(const std::string &what) const
{
    return "\"" + FPath + "\": " + what;
}

bool TVideoStream::ReadNal(const uint8_t *&data, size_t &size)
{
    if (FHaveNal) {
        FHaveNal = false;
        data = FNalData;
        size = FNalSize;
        return true;
    }
    do {
        if (!FReader.Next(data, size))
            return false;
    } while (size == 0);
    return true;
}

void TVideoStream::AppendNal(TPicture &picture, const uint8_t *data, size_t size)
{
    // Three-byte start codes inside the frame, four before parameter sets.
    uint8_t type = NalType(data);
    bool longCode = type == 7 || type == 8 || picture.Buffer.size() == kHeadroom;
    picture.Buffer.insert(picture.Buffer.end(), kStartCode + (longCode ? 0 : 1), kStartCode + 4);
    picture.Buffer.insert(picture.Buffer.end(), data, data + size);
}

// Reads one primary coded picture (a frame or a field) and the non-VCL NAL
// units before it. Returns false at the end of the stream.
bool TVideoStream::ReadPicture(TPicture &picture)
{
    picture.Buffer.clear();
    picture.Buffer.reserve(kHeadroom + FLargestPicture);  // avoids regrowing for each NAL unit
    picture.Buffer.resize(kHeadroom);
    picture.SliceTypes = 0;
    picture.HasAud = picture.HasSps = picture.HasPps = false;
    bool seenSlice = false;
    std::string damage;  // why the slices read so far without a readable one could not be read
    const uint8_t *data;
    size_t size;
    while (ReadNal(data, size)) {
        uint8_t type = NalType(data);
        TH264SliceHeader slice;
        if (IsVclNal(type)) {
            try {
                slice = FParams.ParseSlice(data, size);
            } catch (const std::runtime_error &e) {
                // Where delimiters mark where pictures begin (as on every AVCHD
                // camera), a slice whose header cannot be read is kept, as a
                // decoder would get it, with the picture being read: that picture
                // is timed by its other slices. Without them the slice could as
                // well begin the next picture, whose time would then be lost.
                if (!picture.HasAud)
                    throw std::runtime_error(Fail(std::string("bad slice: ") + e.what()));
                ++FDamagedSlices;
                if (!seenSlice)
                    damage = e.what();
                AppendNal(picture, data, size);
                continue;
            }
        }
        bool startsPicture = StartsNewAccessUnit(type) || (IsVclNal(type) && slice.FirstMb == 0);
        if (!seenSlice && !damage.empty() && startsPicture)
            throw std::runtime_error(Fail("a picture has no readable slice header: " + damage));
        if (seenSlice && startsPicture) {
            FHaveNal = true;
            FNalData = data;
            FNalSize = size;
            FLargestPicture = std::max(FLargestPicture, picture.Buffer.size());
            return true;
        }
        try {
            if (type == 7) {
                const TH264Sps &sps = FParams.AddSps(data, size);
                FRawSps[sps.Id].assign(data, data + size);
                picture.HasSps = true;
            } else if (type == 8) {
                const TH264Pps &pps = FParams.AddPps(data, size);
                FRawPps[pps.Id].assign(data, data + size);
                picture.HasPps = true;
            }
        } catch (const std::runtime_error &e) {
            throw std::runtime_error(Fail(std::string("bad parameter set: ") + e.what()));
        }
        if (type == 9) {
            picture.HasAud = true;  // replaced by the delimiter written in front
            continue;
        }
        if (IsVclNal(type)) {
            if (!seenSlice)
                picture.Slice = slice;
            seenSlice = true;
            picture.SliceTypes |= uint8_t(1 << int(slice.SliceType));
        }
        AppendNal(picture, data, size);
    }
    FLargestPicture = std::max(FLargestPicture, picture.Buffer.size());
    if (!seenSlice && !damage.empty())
        throw std::runtime_error(Fail("the last picture has no readable slice header: " + damage));
    return seenSlice;
}

bool TVideoStream::PairsWith(const TPicture &first, const TPicture &second) const
{
    return IsSecondField(first.Slice, second.Slice);
}

// Writes the access unit delimiter (and the parameter sets) into the
// headroom in front of the picture's data.
void TVideoStream::PrependHeaders(TPicture &picture, bool withParamSets)
{
    std::vector<uint8_t> front = {0, 0, 0, 1, 0x09, uint8_t(PrimaryPicType(picture.SliceTypes) << 5 | 0x10)};
    if (withParamSets) {
        const TH264Pps *pps = FParams.Pps(picture.Slice.PpsId);
        for (const std::vector<uint8_t> *raw : {&FRawSps[pps->SpsId], &FRawPps[pps->Id]}) {
            front.insert(front.end(), kStartCode, kStartCode + 4);
            front.insert(front.end(), raw->begin(), raw->end());
        }
    }
    if (front.size() > kHeadroom) {
        picture.Buffer.insert(picture.Buffer.begin() + kHeadroom, front.begin(), front.end());
        picture.Start = kHeadroom;
    } else {
        picture.Start = kHeadroom - front.size();
        std::memcpy(picture.Buffer.data() + picture.Start, front.data(), front.size());
    }
}

bool TVideoStream::ReadFrame(TPending &pending)
{
    TPicture picture;
    if (FHavePicture) {
        std::swap(picture, FNextPicture);
        FHavePicture = false;
    } else if (!ReadPicture(picture)) {
        return false;
    }
    const TH264Pps *pps = FParams.Pps(picture.Slice.PpsId);
    const TH264Sps &sps = *FParams.Sps(pps->SpsId);
    const uint32_t reorderLimit = sps.MaxNumReorderFrames.value_or(0);
    if (!FHaveFirstSps)
        FFirstSps = sps;
    FHaveFirstSps = true;
    picture.Order = FPoc.Next(picture.Slice, sps);
    bool intra = picture.SliceTypes == (1 << int(ESliceType::I));
    bool addParamSets = FRepeatParamSets && intra && !(picture.HasSps && picture.HasPps);
    PrependHeaders(picture, addParamSets);

    int32_t poc = picture.Order.Poc;
    bool newSequence = picture.Order.NewSequence;
    TVideoFrame &frame = pending.Frame;
    frame.Intra = intra;
    frame.Buffer = std::move(picture.Buffer);
    frame.Headroom = picture.Start;

    if (picture.Slice.FieldPic && ReadPicture(FNextPicture)) {
        const TPictureOrder second = [&] {
            const TH264Pps *p2 = FParams.Pps(FNextPicture.Slice.PpsId);
            // Order counts of the second field only when it belongs to this frame.
            return PairsWith(picture, FNextPicture) ? FPoc.Next(FNextPicture.Slice, *FParams.Sps(p2->SpsId))
                                                    : TPictureOrder {};
        }();
        if (PairsWith(picture, FNextPicture)) {
            poc = std::min(poc, second.Poc);
            PrependHeaders(FNextPicture, false);
            frame.Buffer.insert(frame.Buffer.end(),
                                FNextPicture.Buffer.begin() + std::ptrdiff_t(FNextPicture.Start),
                                FNextPicture.Buffer.end());
        } else {
            FHavePicture = true;
        }
    }
    if (newSequence && FSegmentCount > 0) {
        ++FSegment;
        FSegmentCount = 0;
    }
    pending.Poc = poc;
    pending.Segment = FSegment;
    pending.IndexInSegment = FSegmentCount++;
    pending.ReorderLimit = reorderLimit;
    return true;
}

bool TVideoStream::FillWindow()
{
    while (!FEndOfStream && FWindow.size() <= kReorderWindow) {
        TPending pending;
        if (!ReadFrame(pending)) {
            FEndOfStream = true;
            break;
        }
        FWindow.push_back(std::move(pending));
    }
    return !FWindow.empty();
}

// Position in presentation order, within its order count sequence, of the
// frame at windowIndex: frames far before it are taken as shown before it,
// frames far after it as shown after it.
uint64_t TVideoStream::DisplayRank(size_t windowIndex) const
{
    const TPending &me = FWindow[windowIndex];
    uint64_t rank = me.IndexInSegment;
    size_t seen = 0;
    for (auto it = FHistory.rbegin(); it != FHistory.rend() && seen < kReorderWindow; ++it, ++seen)
        if (it->Segment == me.Segment && it->Poc > me.Poc)
            --rank;
    for (size_t i = 0; i < FWindow.size(); ++i) {
        if (i == windowIndex || FWindow[i].Segment != me.Segment)
            continue;
        if (i < windowIndex && FWindow[i].Poc > me.Poc)
            --rank;
        if (i > windowIndex && FWindow[i].Poc < me.Poc)
            ++rank;
    }
    return rank;
}

// How many frames of the segment starting at the window's front are
// decoded ahead of their place in presentation order, at most: what the
// window shows, or more where the parameter set says so.
uint64_t TVideoStream::ReorderDepth(uint64_t segment) const
{
    constexpr uint64_t kPictureBuffer = 16;  // no conforming stream reorders more
    uint64_t depth = std::min<uint64_t>(FWindow.front().ReorderLimit, kPictureBuffer);
    for (size_t i = 0; i < FWindow.size(); ++i) {
        if (FWindow[i].Segment != segment)
            continue;
        int64_t ahead = int64_t(FWindow[i].IndexInSegment) - int64_t(DisplayRank(i));
        depth = std::max<uint64_t>(depth, uint64_t(std::max<int64_t>(ahead, 0)));
    }
    return depth;
}

// Presentation follows the order counts; decoding runs `FDecodeDelay`
// frames ahead and steps by exactly one frame duration, so that a player
// never has to decode two pictures closer together than one frame.
void TVideoStream::AssignTimes(TPending &pending)
{
    const int64_t duration = int64_t(FRate.FrameDuration27());
    if (pending.Segment != FTimedSegment) {
        // A new order count sequence is shown right after the previous one.
        FSegmentStart27 =
            FAnyTimed ? FSegmentStart27 + FFramesInTimedSegment * uint64_t(duration) : FFirstPts27;
        FTimedSegment = pending.Segment;
        FFramesInTimedSegment = 0;
        uint64_t depth = ReorderDepth(pending.Segment);
        if (depth > FDecodeDelay) {
            FCatchUpStep27 = duration / int64_t(depth - FDecodeDelay + 1);
            FDecodeDelay = depth;
        }
    }
    int64_t pts = int64_t(FSegmentStart27) + int64_t(DisplayRank(0)) * duration;
    int64_t dts =
        int64_t(FSegmentStart27) + (int64_t(pending.IndexInSegment) - int64_t(FDecodeDelay)) * duration;
    if (dts > pts) {
        // Deeper reordering than the window showed: decode further ahead from here on.
        int64_t more = (dts - pts + duration - 1) / duration;
        FDecodeDelay += uint64_t(more);
        dts -= more * duration;
        FCatchUpStep27 = duration / (more + 1);
    }
    if (FAnyTimed && dts < int64_t(FLastDts27) + duration) {
        dts = std::max(dts, int64_t(FLastDts27) + std::max<int64_t>(FCatchUpStep27, 1));
    }
    if (dts > pts) {
        ++FTimingRepairs;
        dts = std::max(pts, int64_t(FLastDts27) + 1);
    }
    pending.Frame.Pts27 = uint64_t(pts);
    pending.Frame.Dts27 = uint64_t(dts);
    FLastDts27 = uint64_t(dts);
    FAnyTimed = true;
    ++FFramesInTimedSegment;
    FEndPts27 = std::max(FEndPts27, uint64_t(pts + duration));
}

bool TVideoStream::Next(TVideoFrame &frame)
{
    if (!FillWindow())
        return false;
    AssignTimes(FWindow.front());
    TPending &front = FWindow.front();
    FHistory.push_back(TOrderMark {front.Poc, front.Segment});
    if (FHistory.size() > kReorderWindow)
        FHistory.pop_front();
    frame = std::move(front.Frame);
    FWindow.pop_front();
    return true;
}
