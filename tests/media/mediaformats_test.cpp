// The media format code: bit writing, the MPEG CRC, H.264 parameter sets,
// slice headers and picture order counts, AC-3 and E-AC-3 headers, the
// clip timing rule.
#include <gtest/gtest.h>

#include <stdexcept>

#include "media/ac3parser.h"
#include "media/annexb.h"
#include "media/bitwriter.h"
#include "media/cliptimes.h"
#include "media/crc32mpeg.h"
#include "media/h264parser.h"
#include "media/h264poc.h"

namespace {

std::vector<uint8_t> FromHex(const std::string &hex)
{
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// The demultiplexer feeds the parameter sets of a clip that has none as an
// empty buffer (a null pointer): the search once offset that pointer.
TEST(AnnexB, BuffersTooShortForAStartCodeHoldNoNalUnit)
{
    const uint8_t bytes[] = {0, 0, 1, 0x67};
    for (size_t size = 0; size <= 3; ++size) {
        const uint8_t *data = size == 0 ? nullptr : bytes;
        EXPECT_EQ(FindStartCode(data, data + size), size == 3 ? bytes + 2 : nullptr) << size;
        int visits = 0;
        ForEachNal(data, size, [&](const uint8_t *, size_t) { return ++visits > 0; });
        EXPECT_EQ(visits, 0) << size;
    }
    int visits = 0;
    ForEachNal(bytes, sizeof bytes, [&](const uint8_t *nal, size_t length) {
        EXPECT_EQ(nal, bytes + 3);
        EXPECT_EQ(length, 1u);
        return ++visits > 0;
    });
    EXPECT_EQ(visits, 1);
}

TEST(BitWriter, PacksFieldsBigEndianAndPatchesLengths)
{
    TBitWriter w;
    size_t length = w.BeginLength(16);
    w.Put(0x5, 3);
    w.Put(0x1F, 5);
    w.Put(0xABCD, 16);
    w.EndLength(length);
    EXPECT_EQ(w.Bytes(), (std::vector<uint8_t> {0x00, 0x03, 0xBF, 0xAB, 0xCD}));
}

// Reserved fields are zeros of any width, wider than one Put too.
TEST(BitWriter, ReservedFieldsAreZerosBetweenTheirNeighbours)
{
    TBitWriter w;
    w.Put(1, 1);
    w.PutReserved(70);
    w.Put(1, 1);
    w.PutReserved(16);
    std::vector<uint8_t> expected(11, 0);
    expected[0] = 0x80;
    expected[8] = 0x01;
    EXPECT_EQ(w.Bytes(), expected);
    EXPECT_THROW(w.PutReserved(0), std::logic_error);
}

TEST(BitWriter, RefusesValuesWiderThanTheirField)
{
    TBitWriter w;
    EXPECT_THROW(w.Put(8, 3), std::logic_error);
    EXPECT_THROW(w.Put(1, 0), std::logic_error);
    w.Put(1, 1);
    EXPECT_THROW(w.BytePos(), std::logic_error);  // not aligned
}

TEST(Crc32Mpeg, MatchesTheCheckValue)
{
    const std::string text = "123456789";
    EXPECT_EQ(Crc32Mpeg(reinterpret_cast<const uint8_t *>(text.data()), text.size()), 0x0376E6E7u);
}

struct TSpsCase
{
    const char *Hex;
    uint32_t Width, Height, PocType, Refs;
    bool FrameMbsOnly;
    std::optional<uint32_t> Reorder;
};

class SpsParse : public testing::TestWithParam<TSpsCase>
{ };

TEST_P(SpsParse, ReadsSizeOrderTypeAndReferences)
{
    std::vector<uint8_t> nal = FromHex(GetParam().Hex);
    TH264Sps sps = ParseSps(nal.data(), nal.size());
    EXPECT_EQ(sps.Width, GetParam().Width);
    EXPECT_EQ(sps.Height, GetParam().Height);
    EXPECT_EQ(sps.PocType, GetParam().PocType);
    EXPECT_EQ(sps.MaxNumRefFrames, GetParam().Refs);
    EXPECT_EQ(sps.FrameMbsOnly, GetParam().FrameMbsOnly);
    EXPECT_EQ(sps.MaxNumReorderFrames, GetParam().Reorder);
    EXPECT_EQ(sps.TimeScale / (2 * sps.NumUnitsInTick), 25u);
}

// Parameter sets of x264 streams: no B-frames and one reference; B-pyramid
// with four references; interlaced 1080.
INSTANTIATE_TEST_SUITE_P(X264, SpsParse,
                         testing::Values(TSpsCase {"6764001eacb405017fcb80880000030008000003019078b175", 640,
                                                   360, 2, 1, true, 0u},
                                         TSpsCase {"6764001eacd940a02ff97011000003000100000300320f162d96",
                                                   640, 360, 0, 4, true, 2u},
                                         TSpsCase {"67640028acd94078044fde0220000003002000000643e2c5b2c0",
                                                   1920, 1080, 0, 4, false, 2u}));

TEST(SliceHeader, NeedsItsParameterSets)
{
    TH264ParamSets sets;
    std::vector<uint8_t> slice = {0x65, 0x88, 0x84};
    EXPECT_THROW(sets.ParseSlice(slice.data(), slice.size()), std::runtime_error);
}

// Damaged parameter sets: each field out of the range the syntax allows is
// refused (the first once made the slice group parsing shift by 32 and
// loop for ever).
struct TBadSetCase
{
    const char *Name;
    const char *Hex;  // the NAL unit, header byte first
    const char *Cause;
};

class DamagedParamSet : public testing::TestWithParam<TBadSetCase>
{ };

TEST_P(DamagedParamSet, IsRefusedNamingTheField)
{
    std::vector<uint8_t> nal = FromHex(GetParam().Hex);
    try {
        if (NalType(nal.data()) == 7)
            ParseSps(nal.data(), nal.size());
        else
            ParsePps(nal.data(), nal.size());
        FAIL() << "accepted";
    } catch (const std::runtime_error &e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().Cause), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, DamagedParamSet,
    testing::Values(
        // num_slice_groups_minus1 = 2^31 (the reproducer, emulation bytes included).
        TBadSetCase {"slice_groups", "68c00000030010000003002780", "number of slice groups"},
        // num_ref_idx_l0_default_active_minus1 = 32.
        TBadSetCase {"reference_indices", "68c82180", "number of reference indices"},
        // pic_width_in_mbs_minus1 = 2^20 in a baseline SPS.
        TBadSetCase {"picture_width", "6742001ef40000080000c0", "picture width"}),
    [](const testing::TestParamInfo<TBadSetCase> &info) { return std::string(info.param.Name); });

TH264SliceHeader Slice(uint8_t nalType, uint8_t refIdc, uint32_t frameNum, uint32_t lsb)
{
    TH264SliceHeader h;
    h.NalType = nalType;
    h.NalRefIdc = refIdc;
    h.FrameNum = frameNum;
    h.PocLsb = lsb;
    return h;
}

TEST(PocCalculator, Type0FollowsLsbWrapAround)
{
    TH264Sps sps;
    sps.PocType = 0;
    sps.Log2MaxPocLsb = 4;  // lsb wraps at 16
    TH264PocCalculator calc;
    // IDR, P, B, B, P, B, B, P (lsb wrapped), B; B pictures are not references.
    struct
    {
        uint8_t Type, Ref;
        uint32_t Lsb;
    } pictures[] = {{5, 1, 0}, {1, 1, 6},  {1, 0, 2}, {1, 0, 4}, {1, 1, 12},
                    {1, 0, 8}, {1, 0, 10}, {1, 1, 2}, {1, 0, 14}};
    std::vector<int32_t> pocs;
    for (const auto &p : pictures)
        pocs.push_back(calc.Next(Slice(p.Type, p.Ref, 0, p.Lsb), sps).Poc);
    EXPECT_EQ(pocs, (std::vector<int32_t> {0, 6, 2, 4, 12, 8, 10, 18, 14}));
}

// offset_for_ref_frame at its largest: the sums no longer fit 32 bits and
// are kept modulo 2^32 (they once overflowed a signed 32-bit sum).
TEST(PocCalculator, Type1WithLargestOffsetsWraps)
{
    TH264Sps sps;
    sps.PocType = 1;
    sps.Log2MaxFrameNum = 4;
    sps.OffsetForRefFrame = {INT32_MAX, INT32_MAX};
    TH264PocCalculator calc;
    calc.Next(Slice(5, 1, 0, 0), sps);
    // Frame 3: one whole cycle (2 * max) and the first offset of the next.
    const TPictureOrder order = calc.Next(Slice(1, 1, 3, 0), sps);
    EXPECT_EQ(order.Poc, int32_t(uint32_t(3 * int64_t(INT32_MAX))));
}

TEST(PocCalculator, Type2CountsFramesAndNonReferencePictures)
{
    TH264Sps sps;
    sps.PocType = 2;
    sps.Log2MaxFrameNum = 4;
    TH264PocCalculator calc;
    std::vector<int32_t> pocs;
    pocs.push_back(calc.Next(Slice(5, 1, 0, 0), sps).Poc);
    for (uint32_t n = 1; n < 16; ++n)
        pocs.push_back(calc.Next(Slice(1, 1, n, 0), sps).Poc);
    pocs.push_back(calc.Next(Slice(1, 1, 0, 0), sps).Poc);  // frame_num wrapped
    pocs.push_back(calc.Next(Slice(1, 0, 1, 0), sps).Poc);  // non-reference
    EXPECT_EQ(pocs[15], 30);
    EXPECT_EQ(pocs[16], 32);
    EXPECT_EQ(pocs[17], 33);
}

TEST(PocCalculator, MemoryOperationFiveStartsANewSequence)
{
    TH264Sps sps;
    sps.PocType = 0;
    sps.Log2MaxPocLsb = 8;
    TH264PocCalculator calc;
    calc.Next(Slice(5, 1, 0, 0), sps);
    TH264SliceHeader reset = Slice(1, 1, 1, 20);
    reset.HasMmco5 = true;
    TPictureOrder order = calc.Next(reset, sps);
    EXPECT_TRUE(order.NewSequence);
    EXPECT_EQ(order.Poc, 0);
    EXPECT_EQ(calc.Next(Slice(1, 1, 1, 4), sps).Poc, 4);  // counted from zero again
}

TEST(PocCalculator, FieldPairsTakeTheirOwnCounts)
{
    TH264Sps sps;
    sps.PocType = 0;
    sps.Log2MaxPocLsb = 8;
    sps.FrameMbsOnly = false;
    TH264PocCalculator calc;
    TH264SliceHeader top = Slice(5, 1, 0, 0);
    top.FieldPic = true;
    TH264SliceHeader bottom = Slice(1, 1, 0, 1);
    bottom.FieldPic = true;
    bottom.BottomField = true;
    EXPECT_EQ(calc.Next(top, sps).Poc, 0);
    TPictureOrder second = calc.Next(bottom, sps);
    EXPECT_EQ(second.Poc, 1);
    EXPECT_FALSE(second.NewSequence);
}

struct TAc3Case
{
    uint8_t Byte4;
    uint32_t Size, Rate, BitRate;
};

class Ac3Header : public testing::TestWithParam<TAc3Case>
{ };

TEST_P(Ac3Header, GivesFrameSizeAndRate)
{
    uint8_t header[8] = {0x0B, 0x77, 0, 0, GetParam().Byte4, 0x40, 0x43, 0xE0};
    std::optional<TAc3Frame> frame = ParseAc3Header(header, sizeof header);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->Size, GetParam().Size);
    EXPECT_EQ(frame->SampleRate, GetParam().Rate);
    EXPECT_EQ(frame->BitRate, GetParam().BitRate);
    EXPECT_EQ(frame->Acmod, 2);
}

INSTANTIATE_TEST_SUITE_P(Table, Ac3Header,
                         testing::Values(TAc3Case {0x14, 768, 48000, 192000},  // 48 kHz 192 kbit/s
                                         TAc3Case {0x00, 128, 48000, 32000},
                                         TAc3Case {0x40 | 0x1D, 1672, 44100,
                                                   384000},  // 44.1 kHz, odd code pads a word
                                         TAc3Case {0x40 | 0x1C, 1670, 44100, 384000},
                                         TAc3Case {0x80 | 0x1E, 2688, 32000, 448000}));

TEST(Ac3HeaderRejects, WrongSyncReservedRateAndEac3)
{
    uint8_t bad[8] = {0x0B, 0x78, 0, 0, 0x14, 0x40, 0x43, 0xE0};
    EXPECT_FALSE(ParseAc3Header(bad, 8));
    uint8_t reservedRate[8] = {0x0B, 0x77, 0, 0, 0xC0 | 0x14, 0x40, 0x43, 0xE0};
    EXPECT_FALSE(ParseAc3Header(reservedRate, 8));
    uint8_t eac3[8] = {0x0B, 0x77, 0, 0, 0x14, 16 << 3, 0x43, 0xE0};
    EXPECT_FALSE(ParseAc3Header(eac3, 8));
}

struct TEac3Case
{
    uint8_t Byte4;
    uint32_t Rate, Samples;
    uint8_t Acmod;
    bool Lfe;
};

class Eac3Header : public testing::TestWithParam<TEac3Case>
{ };

// Frame size 0x17F + 1 words: 768 bytes.
TEST_P(Eac3Header, GivesRateSamplesAndLayout)
{
    const uint8_t header[6] = {0x0B, 0x77, 0x01, 0x7F, GetParam().Byte4, 16 << 3};
    std::optional<TAc3Frame> frame = ParseAc3OrEac3Header(header, sizeof header);
    ASSERT_TRUE(frame);
    EXPECT_TRUE(frame->Enhanced);
    EXPECT_EQ(frame->Size, 768u);
    EXPECT_EQ(frame->SampleRate, GetParam().Rate);
    EXPECT_EQ(frame->Samples, GetParam().Samples);
    EXPECT_EQ(frame->Acmod, GetParam().Acmod);
    EXPECT_EQ(frame->Lfe, GetParam().Lfe);
    EXPECT_FALSE(ParseAc3Header(header, sizeof header)) << "an E-AC-3 frame is no AC-3 frame";
}

INSTANTIATE_TEST_SUITE_P(
    Table, Eac3Header,
    testing::Values(TEac3Case {0x00 | 0x30 | 0x04, 48000, 1536, 2, false},  // 48 kHz, 6 blocks, 2/0
                    TEac3Case {0x40 | 0x00 | 0x0F, 44100, 256, 7, true},  // 44.1 kHz, 1 block, 3/2 + LFE
                    TEac3Case {0xC0 | 0x04, 24000, 1536, 2, false},  // reduced rate: half of 48 kHz, 6 blocks
                    TEac3Case {0xC0 | 0x20 | 0x04, 16000, 1536, 2, false}  // half of 32 kHz
                    ));

TEST(Eac3HeaderRejects, ReservedReducedRate)
{
    const uint8_t header[6] = {0x0B, 0x77, 0x01, 0x7F, 0xC0 | 0x30, 16 << 3};
    EXPECT_FALSE(ParseAc3OrEac3Header(header, sizeof header));
}

// Stream ids 9 and 10 keep the AC-3 frame sizes at a half and a quarter of
// the sample rate and bit rate.
TEST(Ac3Header, LowRateStreamIds)
{
    for (uint8_t bsid : {9, 10}) {
        const uint8_t header[8] = {0x0B, 0x77, 0, 0, 0x14, uint8_t(bsid << 3), 0x43, 0xE0};
        std::optional<TAc3Frame> frame = ParseAc3Header(header, sizeof header);
        ASSERT_TRUE(frame) << int(bsid);
        EXPECT_EQ(frame->Size, 768u);
        EXPECT_EQ(frame->SampleRate, 48000u >> (bsid - 8));
        EXPECT_EQ(frame->BitRate, 192000u >> (bsid - 8));
    }
}

// Presentation times of `count` pictures at `rate` frames a second, rounded
// to whole ticks as a multiplexer writes them.
std::vector<int64_t> PictureTimes(int64_t count, double rate)
{
    std::vector<int64_t> times;
    for (int64_t i = 0; i < count; ++i)
        times.push_back(int64_t(90000.0 * double(i) / rate + 0.5));
    return times;
}

struct TRateCase
{
    double Rate;
    int64_t Pictures;
    int64_t Duration;  // ticks, worked out from the rate
    int64_t FifthEarlyBy = 0;  // ticks: one short gap before the fifth picture, one long after it
};

class ClipDurationRule : public testing::TestWithParam<TRateCase>
{ };

// The whole clip and its two ends (nine pictures at each, as the ends of a
// file hold) give the same duration: the exact one, not the whole-tick
// step times the pictures.
TEST_P(ClipDurationRule, WholeClipAndItsEndsAgree)
{
    const auto [rate, pictures, duration, fifthEarlyBy] = GetParam();
    std::vector<int64_t> all = PictureTimes(pictures, rate);
    all[4] -= fifthEarlyBy;
    std::vector<int64_t> ends(all.begin(), all.begin() + 9);
    ends.insert(ends.end(), all.end() - 9, all.end());
    EXPECT_EQ(ClipDuration(all, pictures, 0), duration);
    EXPECT_EQ(ClipDuration(ends, 0, 0), duration);
}

INSTANTIATE_TEST_SUITE_P(UsualRates, ClipDurationRule,
                         testing::Values(TRateCase {25.0, 15000, 54'000'000},  // 10 minutes
                                         TRateCase {60000.0 / 1001, 36000,
                                                    54'054'000},  // 10:00.6 at 1501.5 ticks
                                         TRateCase {24000.0 / 1001, 14400, 54'054'000},  // 3753.75 ticks
                                         TRateCase {30000.0 / 1001, 18000, 54'054'000},  // 3003 ticks
                                         TRateCase {24.0, 14401, 54'003'750},
                                         // The step is the most common gap, not the shortest.
                                         TRateCase {25.0, 15000, 54'000'000, 900}));

TEST(ClipDurationRule, UnknownOrDamagedStepGivesNothing)
{
    std::vector<int64_t> one {126000};
    EXPECT_EQ(ClipDuration(one, 0, 0), 0);
    std::vector<int64_t> seconds {0, 180000, 360000};
    EXPECT_EQ(ClipDuration(seconds, 3, 0), 0);
}

}  // namespace
