// Shared tool code: the TS packet writer and the Annex B file reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

#include "tools/common/annexbreader.h"
#include "media/bitwriter.h"
#include "media/crc32mpeg.h"
#include "tools/common/outputfile.h"
#include "tools/common/tspacketwriter.h"

namespace {

std::filesystem::path TempPath(const std::string &name)
{
    return std::filesystem::temp_directory_path()
           / ("tavrel-toolcommon-" + std::to_string(::getpid()) + "-" + name);
}

TEST(TsPacketWriter, SplitsPesIntoSourcePacketsWithTimesAndCounters)
{
    std::filesystem::path path = TempPath("pes.m2ts");
    std::vector<uint8_t> pes(400, 0xAA);
    {
        TOutputFile out;
        ASSERT_TRUE(out.Open(path.string())) << out.Error();
        TTsPacketWriter writer(out);
        size_t done = 0;
        uint64_t ats = (uint64_t(1) << 30) + 1000;  // wraps to 1000
        bool first = true;
        while (done < pes.size()) {
            done +=
                writer.WritePayloadPacket(0x1011, first, first, pes.data() + done, pes.size() - done, ats);
            first = false;
            ats += 10;
        }
        writer.WritePcr(0x1001, 27000000 * 3 + 7, ats);
        EXPECT_EQ(writer.PacketCount(), 4u);
        ASSERT_TRUE(out.Finish() && out.Publish()) << out.Error();
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), {});
    std::filesystem::remove(path);
    ASSERT_EQ(data.size(), 4 * kSourcePacketSize);
    for (size_t i = 0; i < 4; ++i) {
        const uint8_t *p = data.data() + i * kSourcePacketSize;
        uint32_t ats = uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
        EXPECT_EQ(ats, 1000 + 10 * i);
        EXPECT_EQ(p[4], 0x47);
    }
    const uint8_t *first = data.data() + 4;
    EXPECT_EQ(first[1] & 0x40, 0x40);  // unit start
    EXPECT_EQ(first[3] & 0x30, 0x30);  // adaptation field for the random access flag
    EXPECT_EQ(first[5], 0x40);
    const uint8_t *third = data.data() + 2 * kSourcePacketSize + 4;
    EXPECT_EQ(third[3] & 0x0F, 2);  // continuity counter
    size_t stuffing = size_t(third[4]) + 1;
    EXPECT_EQ(182 + 184 + (184 - stuffing), pes.size());
    const uint8_t *pcr = data.data() + 3 * kSourcePacketSize + 4;
    uint64_t base = uint64_t(pcr[6]) << 25 | pcr[7] << 17 | pcr[8] << 9 | pcr[9] << 1 | pcr[10] >> 7;
    uint32_t ext = (pcr[10] & 1) << 8 | pcr[11];
    EXPECT_EQ(base * 300 + ext, 27000000ull * 3 + 7);
}

TEST(TsPacketWriter, PsiSectionsEndWithTheirCrc)
{
    std::vector<uint8_t> pmt = MakePmtSection(1, 0x1001, {}, {{0x1B, 0x1011, {}}, {0x81, 0x1100, {}}});
    EXPECT_EQ(Crc32Mpeg(pmt.data(), pmt.size()), 0u);  // CRC over section and CRC is zero
    size_t length = size_t(pmt[1] & 0x0F) << 8 | pmt[2];
    EXPECT_EQ(length + 3, pmt.size());
}

TEST(TsPacketWriter, PesHeaderCarriesPtsAndDts)
{
    std::vector<uint8_t> h = MakePesHeader(0xE0, 0x1FFFFFFFFull, 0x123456789ull, 1000);
    ASSERT_EQ(h.size(), 19u);
    auto read = [&](size_t at) {
        return (uint64_t(h[at] >> 1) & 7) << 30 | uint64_t(h[at + 1]) << 22 | uint64_t(h[at + 2] >> 1) << 15
               | uint64_t(h[at + 3]) << 7 | h[at + 4] >> 1;
    };
    EXPECT_EQ(read(9), 0x1FFFFFFFFull);
    EXPECT_EQ(read(14), 0x123456789ull);
    EXPECT_EQ(size_t(h[4]) << 8 | h[5], 13u + 1000u);
    EXPECT_EQ(h[7], 0xC0);
}

TEST(AnnexBReader, SplitsAtThreeAndFourByteStartCodes)
{
    std::filesystem::path path = TempPath("nals.h264");
    {
        std::ofstream out(path, std::ios::binary);
        const uint8_t bytes[] = {0, 0, 0, 1, 0x67, 1,    2, 0, 0, 1, 0x68, 3,
                                 0, 0, 0, 0, 1,    0x65, 0, 0, 3, 1, 9};
        out.write(reinterpret_cast<const char *>(bytes), sizeof bytes);
    }
    TAnnexBReader reader(path.string());
    std::vector<std::vector<uint8_t>> nals;
    const uint8_t *data;
    size_t size;
    while (reader.Next(data, size))
        nals.emplace_back(data, data + size);
    std::filesystem::remove(path);
    ASSERT_EQ(nals.size(), 3u);
    EXPECT_EQ(nals[0], (std::vector<uint8_t> {0x67, 1, 2}));
    EXPECT_EQ(nals[1], (std::vector<uint8_t> {0x68, 3}));
    EXPECT_EQ(nals[2], (std::vector<uint8_t> {0x65, 0, 0, 3, 1, 9}));  // escapes kept
}

TEST(AnnexBReader, RefusesLengthPrefixedStreams)
{
    std::filesystem::path path = TempPath("avcc.h264");
    {
        std::ofstream out(path, std::ios::binary);
        const uint8_t bytes[] = {0, 0, 0, 0x19, 0x67, 0x64, 0, 0x1E};
        out.write(reinterpret_cast<const char *>(bytes), sizeof bytes);
    }
    EXPECT_THROW(TAnnexBReader reader(path.string()), std::runtime_error);
    std::filesystem::remove(path);
}

}  // namespace
