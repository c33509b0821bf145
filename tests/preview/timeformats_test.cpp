#include "src/preview/formatnames.h"
#include "src/preview/timeformats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

namespace {

TEST(FourCCText, ReadsTheBytesLowestFirst)
{
    EXPECT_EQ(FourCCText('Y' | 'V' << 8 | '1' << 16 | '2' << 24), "YV12");
    EXPECT_EQ(FourCCText(0x31637661), "avc1");
    EXPECT_EQ(FourCCText(0), "");
    EXPECT_EQ(FourCCText('A' | 'B' << 8 | 31 << 16 | 'D' << 24), "");
    EXPECT_EQ(FourCCText(' ' | ' ' << 8 | ' ' << 16 | ' ' << 24), "    ");
}

struct WaveCase
{
    std::uint16_t tag;
    const char *name;
};

class WaveFormatTable : public testing::TestWithParam<WaveCase>
{ };

TEST_P(WaveFormatTable, NamesTheTag)
{
    EXPECT_EQ(WaveFormatName(GetParam().tag), QByteArray(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(
    Values, WaveFormatTable,
    testing::Values(WaveCase {0x0000, ""}, WaveCase {0x0001, "PCM"}, WaveCase {0x0008, "DTS"},
                    WaveCase {0x000A, ""}, WaveCase {0x0050, "MPEG Audio"}, WaveCase {0x0055, "MP3"},
                    WaveCase {0x0059, "LUCENT G.723"}, WaveCase {0x0088, "ISIAUDIO "},
                    WaveCase {0x00FF, "AAC"}, WaveCase {0x0162, "WMA_Pro"}, WaveCase {0x1102, "LH_SBC"},
                    WaveCase {0x1104, "LH_SBC"}, WaveCase {0x1401, "ISIAUDIO"}, WaveCase {0x2000, "AC3"},
                    WaveCase {0x2001, "DTS"}, WaveCase {0x676F, "OGG_VORBIS1+"}, WaveCase {0x7A21, "GSM_AMR"},
                    WaveCase {0x7A22, "GSM_AMR"}, WaveCase {0x7A23, ""}, WaveCase {0xFFFF, ""}));

// The tags that have a name, as runs of consecutive values: every tag in
// a run is named, every tag outside all runs is not.
TEST(WaveFormatName, NamesExactlyTheKnownTags)
{
    struct Run
    {
        int first, last;
    };
    constexpr Run kNamed[] = {
        {0x0001, 0x0009}, {0x0010, 0x0019}, {0x0020, 0x0028}, {0x0030, 0x003D}, {0x0040, 0x0042},
        {0x0050, 0x0050}, {0x0052, 0x0053}, {0x0055, 0x0055}, {0x0059, 0x0059}, {0x0060, 0x0067},
        {0x0069, 0x0069}, {0x0070, 0x0079}, {0x0080, 0x0086}, {0x0088, 0x0089}, {0x0091, 0x0092},
        {0x0097, 0x0099}, {0x00FF, 0x0101}, {0x0111, 0x0112}, {0x0123, 0x0123}, {0x0125, 0x0125},
        {0x0130, 0x0135}, {0x0140, 0x0140}, {0x0150, 0x0151}, {0x0155, 0x0155}, {0x0160, 0x0163},
        {0x0170, 0x0173}, {0x0200, 0x0200}, {0x0202, 0x0203}, {0x0220, 0x0220}, {0x0300, 0x0300},
        {0x0400, 0x0400}, {0x0680, 0x0680}, {0x1000, 0x1004}, {0x1100, 0x1104}, {0x1400, 0x1401},
        {0x1500, 0x1500}, {0x181C, 0x181C}, {0x1FC4, 0x1FC4}, {0x2000, 0x2005}, {0x674F, 0x6751},
        {0x676F, 0x6771}, {0x7A21, 0x7A22}};
    for (int tag = 0; tag <= 0xFFFF; ++tag) {
        const bool known = std::any_of(std::begin(kNamed), std::end(kNamed),
                                       [tag](const Run &r) { return tag >= r.first && tag <= r.last; });
        EXPECT_EQ(!WaveFormatName(std::uint16_t(tag)).isEmpty(), known) << std::hex << "tag 0x" << tag;
    }
}

TEST(RecordingDateText, DayMonthYearThenTheTimeOfDay)
{
    EXPECT_EQ(RecordingDateText({2012, 7, 14, 15, 30, 0}), QStringLiteral("Filmé le 14/07/2012 à 15:30:00"));
    EXPECT_EQ(RecordingDateText({2009, 1, 2, 3, 4, 5}), QStringLiteral("Filmé le 02/01/2009 à 03:04:05"));
}

}  // namespace
