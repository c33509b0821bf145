// H.264 parameter sets and slice headers, parsed as far as muxing needs:
// picture boundaries, picture order counts, field pictures and the
// picture size and timing a disc's stream attributes describe.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

enum class EH264Nal : uint8_t {
    Slice = 1,
    Idr = 5,
    Sei = 6,
    Sps = 7,
    Pps = 8,
    Aud = 9,
    EndOfSequence = 10,
    EndOfStream = 11,
    Filler = 12,
};

inline uint8_t NalType(const uint8_t *nal)
{
    return nal[0] & 0x1F;
}
inline bool IsVclNal(uint8_t type)
{
    return type >= 1 && type <= 5;
}

struct TH264Sps
{
    uint8_t ProfileIdc = 0;
    uint8_t LevelIdc = 0;
    uint32_t Id = 0;
    uint32_t ChromaFormatIdc = 1;
    bool SeparateColourPlane = false;
    uint32_t Log2MaxFrameNum = 4;
    uint32_t PocType = 0;
    uint32_t Log2MaxPocLsb = 4;
    bool DeltaPicOrderAlwaysZero = false;
    int32_t OffsetForNonRefPic = 0;
    int32_t OffsetForTopToBottomField = 0;
    std::vector<int32_t> OffsetForRefFrame;
    uint32_t MaxNumRefFrames = 0;
    bool FrameMbsOnly = true;
    uint32_t Width = 0;
    uint32_t Height = 0;  // frame height in luma samples, after cropping
    // VUI sample aspect ratio (width:height of a sample); 0:0 when the
    // stream leaves it unspecified.
    uint32_t SarWidth = 0;
    uint32_t SarHeight = 0;
    // VUI timing: time scale / (2 * units per tick) frames per second.
    uint32_t NumUnitsInTick = 0;
    uint32_t TimeScale = 0;
    // Highest bit rate of the NAL HRD parameters, in bit/s, when present.
    std::optional<uint64_t> NalHrdBitRate;
    std::optional<uint32_t> MaxNumReorderFrames;

    uint32_t ChromaArrayType() const { return SeparateColourPlane ? 0 : ChromaFormatIdc; }
};

struct TH264Pps
{
    uint32_t Id = 0;
    uint32_t SpsId = 0;
    bool BottomFieldPicOrderInFramePresent = false;
    uint32_t NumRefIdxL0Default = 1;
    uint32_t NumRefIdxL1Default = 1;
    bool WeightedPred = false;
    uint32_t WeightedBipredIdc = 0;
    bool RedundantPicCntPresent = false;
};

enum class ESliceType : uint8_t { P = 0, B = 1, I = 2, SP = 3, SI = 4 };

struct TH264SliceHeader
{
    uint8_t NalType = 0;
    uint8_t NalRefIdc = 0;
    uint32_t FirstMb = 0;
    ESliceType SliceType = ESliceType::P;
    uint32_t PpsId = 0;
    uint32_t FrameNum = 0;
    bool FieldPic = false;
    bool BottomField = false;
    uint32_t IdrPicId = 0;
    uint32_t PocLsb = 0;
    int32_t DeltaPocBottom = 0;
    std::array<int32_t, 2> DeltaPoc = {0, 0};
    bool HasMmco5 = false;

    bool Idr() const { return NalType == 5; }
    bool Intra() const { return SliceType == ESliceType::I || SliceType == ESliceType::SI; }
};

// Parameter sets seen so far in the stream, by id. A later set with the
// same id replaces the earlier one, as it does for a decoder.
class TH264ParamSets
{
public:
    // Parse and store; throw std::runtime_error on a malformed set.
    const TH264Sps &AddSps(const uint8_t *nal, size_t size);
    const TH264Pps &AddPps(const uint8_t *nal, size_t size);

    const TH264Sps *Sps(uint32_t id) const;
    const TH264Pps *Pps(uint32_t id) const;

    // Parses a slice header against the stored sets; throws when a set it
    // refers to is missing or the header is malformed.
    TH264SliceHeader ParseSlice(const uint8_t *nal, size_t size) const;

private:
    TH264SliceHeader ParseSliceHeader(const uint8_t *nal, const std::vector<uint8_t> &rbsp) const;

    std::array<std::optional<TH264Sps>, 32> FSps;
    std::array<std::optional<TH264Pps>, 256> FPps;
};

TH264Sps ParseSps(const uint8_t *nal, size_t size);
TH264Pps ParsePps(const uint8_t *nal, size_t size);

// True when `second` is the field that completes the frame begun by the
// field `first`: opposite parity, same frame number, no reset between them.
bool IsSecondField(const TH264SliceHeader &first, const TH264SliceHeader &second);
