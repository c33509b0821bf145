// Shared tool code: bit writer, CRC, TS packets, Annex B reading, H.264
// headers and picture order counts, AC-3 headers.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

#include "common/ac3parser.h"
#include "common/annexbreader.h"
#include "common/bitwriter.h"
#include "common/crc32mpeg.h"
#include "common/h264parser.h"
#include "common/h264poc.h"
#include "common/outputfile.h"
#include "common/tspacketwriter.h"

namespace {

std::vector<uint8_t> fromHex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

std::filesystem::path tempPath(const std::string& name) {
  return std::filesystem::temp_directory_path() /
         ("tavrel-toolcommon-" + std::to_string(::getpid()) + "-" + name);
}

TEST(BitWriter, PacksFieldsBigEndianAndPatchesLengths) {
  TBitWriter w;
  size_t length = w.beginLength(16);
  w.put(0x5, 3);
  w.put(0x1F, 5);
  w.put(0xABCD, 16);
  w.endLength(length);
  EXPECT_EQ(w.bytes(), (std::vector<uint8_t>{0x00, 0x03, 0xBF, 0xAB, 0xCD}));
}

TEST(BitWriter, RefusesValuesWiderThanTheirField) {
  TBitWriter w;
  EXPECT_THROW(w.put(8, 3), std::logic_error);
  EXPECT_THROW(w.put(1, 0), std::logic_error);
  w.put(1, 1);
  EXPECT_THROW(w.bytePos(), std::logic_error);  // not aligned
}

TEST(Crc32Mpeg, MatchesTheCheckValue) {
  const std::string text = "123456789";
  EXPECT_EQ(crc32Mpeg(reinterpret_cast<const uint8_t*>(text.data()), text.size()), 0x0376E6E7u);
}

TEST(TsPacketWriter, SplitsPesIntoSourcePacketsWithTimesAndCounters) {
  std::filesystem::path path = tempPath("pes.m2ts");
  std::vector<uint8_t> pes(400, 0xAA);
  {
    TOutputFile out;
    ASSERT_TRUE(out.Open(path.string())) << out.Error();
    TTsPacketWriter writer(out);
    size_t done = 0;
    uint64_t ats = (uint64_t(1) << 30) + 1000;  // wraps to 1000
    bool first = true;
    while (done < pes.size()) {
      done += writer.writePayloadPacket(0x1011, first, first, pes.data() + done, pes.size() - done, ats);
      first = false;
      ats += 10;
    }
    writer.writePcr(0x1001, 27000000 * 3 + 7, ats);
    EXPECT_EQ(writer.packetCount(), 4u);
    ASSERT_TRUE(out.Finish() && out.Publish()) << out.Error();
  }
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), {});
  std::filesystem::remove(path);
  ASSERT_EQ(data.size(), 4 * kSourcePacketSize);
  for (size_t i = 0; i < 4; ++i) {
    const uint8_t* p = data.data() + i * kSourcePacketSize;
    uint32_t ats = uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
    EXPECT_EQ(ats, 1000 + 10 * i);
    EXPECT_EQ(p[4], 0x47);
  }
  const uint8_t* first = data.data() + 4;
  EXPECT_EQ(first[1] & 0x40, 0x40);         // unit start
  EXPECT_EQ(first[3] & 0x30, 0x30);         // adaptation field for the random access flag
  EXPECT_EQ(first[5], 0x40);
  const uint8_t* third = data.data() + 2 * kSourcePacketSize + 4;
  EXPECT_EQ(third[3] & 0x0F, 2);            // continuity counter
  size_t stuffing = size_t(third[4]) + 1;
  EXPECT_EQ(182 + 184 + (184 - stuffing), pes.size());
  const uint8_t* pcr = data.data() + 3 * kSourcePacketSize + 4;
  uint64_t base = uint64_t(pcr[6]) << 25 | pcr[7] << 17 | pcr[8] << 9 | pcr[9] << 1 | pcr[10] >> 7;
  uint32_t ext = (pcr[10] & 1) << 8 | pcr[11];
  EXPECT_EQ(base * 300 + ext, 27000000ull * 3 + 7);
}

TEST(TsPacketWriter, PsiSectionsEndWithTheirCrc) {
  std::vector<uint8_t> pmt = makePmtSection(1, 0x1001, {}, {{0x1B, 0x1011, {}}, {0x81, 0x1100, {}}});
  EXPECT_EQ(crc32Mpeg(pmt.data(), pmt.size()), 0u);  // CRC over section and CRC is zero
  size_t length = size_t(pmt[1] & 0x0F) << 8 | pmt[2];
  EXPECT_EQ(length + 3, pmt.size());
}

TEST(TsPacketWriter, PesHeaderCarriesPtsAndDts) {
  std::vector<uint8_t> h = makePesHeader(0xE0, 0x1FFFFFFFFull, 0x123456789ull, 1000);
  ASSERT_EQ(h.size(), 19u);
  auto read = [&](size_t at) {
    return (uint64_t(h[at] >> 1) & 7) << 30 | uint64_t(h[at + 1]) << 22 | uint64_t(h[at + 2] >> 1) << 15 |
           uint64_t(h[at + 3]) << 7 | h[at + 4] >> 1;
  };
  EXPECT_EQ(read(9), 0x1FFFFFFFFull);
  EXPECT_EQ(read(14), 0x123456789ull);
  EXPECT_EQ(size_t(h[4]) << 8 | h[5], 13u + 1000u);
  EXPECT_EQ(h[7], 0xC0);
}

TEST(AnnexBReader, SplitsAtThreeAndFourByteStartCodes) {
  std::filesystem::path path = tempPath("nals.h264");
  {
    std::ofstream out(path, std::ios::binary);
    const uint8_t bytes[] = {0, 0, 0, 1, 0x67, 1, 2, 0, 0, 1, 0x68, 3, 0, 0, 0, 0, 1, 0x65, 0, 0, 3, 1, 9};
    out.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
  }
  TAnnexBReader reader(path.string());
  std::vector<std::vector<uint8_t>> nals;
  const uint8_t* data;
  size_t size;
  while (reader.next(data, size)) nals.emplace_back(data, data + size);
  std::filesystem::remove(path);
  ASSERT_EQ(nals.size(), 3u);
  EXPECT_EQ(nals[0], (std::vector<uint8_t>{0x67, 1, 2}));
  EXPECT_EQ(nals[1], (std::vector<uint8_t>{0x68, 3}));
  EXPECT_EQ(nals[2], (std::vector<uint8_t>{0x65, 0, 0, 3, 1, 9}));  // escapes kept
}

TEST(AnnexBReader, RefusesLengthPrefixedStreams) {
  std::filesystem::path path = tempPath("avcc.h264");
  {
    std::ofstream out(path, std::ios::binary);
    const uint8_t bytes[] = {0, 0, 0, 0x19, 0x67, 0x64, 0, 0x1E};
    out.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
  }
  EXPECT_THROW(TAnnexBReader reader(path.string()), std::runtime_error);
  std::filesystem::remove(path);
}

struct TSpsCase {
  const char* hex;
  uint32_t width, height, pocType, refs;
  bool frameMbsOnly;
  std::optional<uint32_t> reorder;
};

class SpsParse : public testing::TestWithParam<TSpsCase> {};

TEST_P(SpsParse, ReadsSizeOrderTypeAndReferences) {
  std::vector<uint8_t> nal = fromHex(GetParam().hex);
  TH264Sps sps = parseSps(nal.data(), nal.size());
  EXPECT_EQ(sps.width, GetParam().width);
  EXPECT_EQ(sps.height, GetParam().height);
  EXPECT_EQ(sps.pocType, GetParam().pocType);
  EXPECT_EQ(sps.maxNumRefFrames, GetParam().refs);
  EXPECT_EQ(sps.frameMbsOnly, GetParam().frameMbsOnly);
  EXPECT_EQ(sps.maxNumReorderFrames, GetParam().reorder);
  EXPECT_EQ(sps.timeScale / (2 * sps.numUnitsInTick), 25u);
}

// Parameter sets of x264 streams: no B-frames and one reference; B-pyramid
// with four references; interlaced 1080.
INSTANTIATE_TEST_SUITE_P(X264, SpsParse, testing::Values(
    TSpsCase{"6764001eacb405017fcb80880000030008000003019078b175", 640, 360, 2, 1, true, 0u},
    TSpsCase{"6764001eacd940a02ff97011000003000100000300320f162d96", 640, 360, 0, 4, true, 2u},
    TSpsCase{"67640028acd94078044fde0220000003002000000643e2c5b2c0", 1920, 1080, 0, 4, false, 2u}));

TEST(SliceHeader, NeedsItsParameterSets) {
  TH264ParamSets sets;
  std::vector<uint8_t> slice = {0x65, 0x88, 0x84};
  EXPECT_THROW(sets.parseSlice(slice.data(), slice.size()), std::runtime_error);
}

// Damaged parameter sets: each field out of the range the syntax allows is
// refused (the first once made the slice group parsing shift by 32 and
// loop for ever).
struct TBadSetCase {
  const char* name;
  const char* hex;  // the NAL unit, header byte first
  const char* cause;
};

class DamagedParamSet : public testing::TestWithParam<TBadSetCase> {};

TEST_P(DamagedParamSet, IsRefusedNamingTheField) {
  std::vector<uint8_t> nal = fromHex(GetParam().hex);
  try {
    if (nalType(nal.data()) == 7)
      parseSps(nal.data(), nal.size());
    else
      parsePps(nal.data(), nal.size());
    FAIL() << "accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(GetParam().cause), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(Fields, DamagedParamSet, testing::Values(
    // num_slice_groups_minus1 = 2^31 (the reproducer, emulation bytes included).
    TBadSetCase{"slice_groups", "68c00000030010000003002780", "number of slice groups"},
    // num_ref_idx_l0_default_active_minus1 = 32.
    TBadSetCase{"reference_indices", "68c82180", "number of reference indices"},
    // pic_width_in_mbs_minus1 = 2^20 in a baseline SPS.
    TBadSetCase{"picture_width", "6742001ef40000080000c0", "picture width"}),
    [](const testing::TestParamInfo<TBadSetCase>& info) { return std::string(info.param.name); });

TH264SliceHeader slice(uint8_t nalType, uint8_t refIdc, uint32_t frameNum, uint32_t lsb) {
  TH264SliceHeader h;
  h.nalType = nalType;
  h.nalRefIdc = refIdc;
  h.frameNum = frameNum;
  h.pocLsb = lsb;
  return h;
}

TEST(PocCalculator, Type0FollowsLsbWrapAround) {
  TH264Sps sps;
  sps.pocType = 0;
  sps.log2MaxPocLsb = 4;  // lsb wraps at 16
  TH264PocCalculator calc;
  // IDR, P, B, B, P, B, B, P (lsb wrapped), B; B pictures are not references.
  struct {
    uint8_t type, ref;
    uint32_t lsb;
  } pictures[] = {{5, 1, 0}, {1, 1, 6}, {1, 0, 2}, {1, 0, 4}, {1, 1, 12},
                  {1, 0, 8}, {1, 0, 10}, {1, 1, 2}, {1, 0, 14}};
  std::vector<int32_t> pocs;
  for (const auto& p : pictures) pocs.push_back(calc.next(slice(p.type, p.ref, 0, p.lsb), sps).poc);
  EXPECT_EQ(pocs, (std::vector<int32_t>{0, 6, 2, 4, 12, 8, 10, 18, 14}));
}

// offset_for_ref_frame at its largest: the sums no longer fit 32 bits and
// are kept modulo 2^32 (they once overflowed a signed 32-bit sum).
TEST(PocCalculator, Type1WithLargestOffsetsWraps) {
  TH264Sps sps;
  sps.pocType = 1;
  sps.log2MaxFrameNum = 4;
  sps.offsetForRefFrame = {INT32_MAX, INT32_MAX};
  TH264PocCalculator calc;
  calc.next(slice(5, 1, 0, 0), sps);
  // Frame 3: one whole cycle (2 * max) and the first offset of the next.
  const TPictureOrder order = calc.next(slice(1, 1, 3, 0), sps);
  EXPECT_EQ(order.poc, int32_t(uint32_t(3 * int64_t(INT32_MAX))));
}

TEST(PocCalculator, Type2CountsFramesAndNonReferencePictures) {
  TH264Sps sps;
  sps.pocType = 2;
  sps.log2MaxFrameNum = 4;
  TH264PocCalculator calc;
  std::vector<int32_t> pocs;
  pocs.push_back(calc.next(slice(5, 1, 0, 0), sps).poc);
  for (uint32_t n = 1; n < 16; ++n) pocs.push_back(calc.next(slice(1, 1, n, 0), sps).poc);
  pocs.push_back(calc.next(slice(1, 1, 0, 0), sps).poc);  // frame_num wrapped
  pocs.push_back(calc.next(slice(1, 0, 1, 0), sps).poc);  // non-reference
  EXPECT_EQ(pocs[15], 30);
  EXPECT_EQ(pocs[16], 32);
  EXPECT_EQ(pocs[17], 33);
}

TEST(PocCalculator, MemoryOperationFiveStartsANewSequence) {
  TH264Sps sps;
  sps.pocType = 0;
  sps.log2MaxPocLsb = 8;
  TH264PocCalculator calc;
  calc.next(slice(5, 1, 0, 0), sps);
  TH264SliceHeader reset = slice(1, 1, 1, 20);
  reset.hasMmco5 = true;
  TPictureOrder order = calc.next(reset, sps);
  EXPECT_TRUE(order.newSequence);
  EXPECT_EQ(order.poc, 0);
  EXPECT_EQ(calc.next(slice(1, 1, 1, 4), sps).poc, 4);  // counted from zero again
}

TEST(PocCalculator, FieldPairsTakeTheirOwnCounts) {
  TH264Sps sps;
  sps.pocType = 0;
  sps.log2MaxPocLsb = 8;
  sps.frameMbsOnly = false;
  TH264PocCalculator calc;
  TH264SliceHeader top = slice(5, 1, 0, 0);
  top.fieldPic = true;
  TH264SliceHeader bottom = slice(1, 1, 0, 1);
  bottom.fieldPic = true;
  bottom.bottomField = true;
  EXPECT_EQ(calc.next(top, sps).poc, 0);
  TPictureOrder second = calc.next(bottom, sps);
  EXPECT_EQ(second.poc, 1);
  EXPECT_FALSE(second.newSequence);
}

struct TAc3Case {
  uint8_t byte4;
  uint32_t size, rate, bitRate;
};

class Ac3Header : public testing::TestWithParam<TAc3Case> {};

TEST_P(Ac3Header, GivesFrameSizeAndRate) {
  uint8_t header[8] = {0x0B, 0x77, 0, 0, GetParam().byte4, 0x40, 0x43, 0xE0};
  std::optional<TAc3Frame> frame = parseAc3Header(header, sizeof header);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->size, GetParam().size);
  EXPECT_EQ(frame->sampleRate, GetParam().rate);
  EXPECT_EQ(frame->bitRate, GetParam().bitRate);
  EXPECT_EQ(frame->acmod, 2);
}

INSTANTIATE_TEST_SUITE_P(Table, Ac3Header, testing::Values(
    TAc3Case{0x14, 768, 48000, 192000},    // 48 kHz 192 kbit/s
    TAc3Case{0x00, 128, 48000, 32000},
    TAc3Case{0x40 | 0x1D, 1672, 44100, 384000},  // 44.1 kHz, odd code pads a word
    TAc3Case{0x40 | 0x1C, 1670, 44100, 384000},
    TAc3Case{0x80 | 0x1E, 2688, 32000, 448000}));

TEST(Ac3HeaderRejects, WrongSyncReservedRateAndEac3) {
  uint8_t bad[8] = {0x0B, 0x78, 0, 0, 0x14, 0x40, 0x43, 0xE0};
  EXPECT_FALSE(parseAc3Header(bad, 8));
  uint8_t reservedRate[8] = {0x0B, 0x77, 0, 0, 0xC0 | 0x14, 0x40, 0x43, 0xE0};
  EXPECT_FALSE(parseAc3Header(reservedRate, 8));
  uint8_t eac3[8] = {0x0B, 0x77, 0, 0, 0x14, 16 << 3, 0x43, 0xE0};
  EXPECT_FALSE(parseAc3Header(eac3, 8));
}

}  // namespace
