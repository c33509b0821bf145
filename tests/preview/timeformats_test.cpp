#include "src/preview/formatnames.h"
#include "src/preview/timeformats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

namespace {

constexpr std::int64_t kSecond = 10'000'000;

struct FrameCase
{
    std::int64_t time, frameDuration;
    const char *text;
};

class FrameTimeTable : public testing::TestWithParam<FrameCase>
{ };

TEST_P(FrameTimeTable, FormatsHoursMinutesSecondsFrames)
{
    const FrameCase &c = GetParam();
    EXPECT_EQ(FormatFrameTime(c.time, c.frameDuration), QByteArray(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Values, FrameTimeTable,
    testing::Values(FrameCase {0, 400'000, "0:00:00:00"}, FrameCase {10'019'999'799, 400'000, "0:16:41:24"},
                    // Within 200 units of the next second: the frame wraps to 0 but the
                    // seconds, taken from the time alone, do not move.
                    FrameCase {10'019'999'999, 400'000, "0:16:41:00"},
                    // Just before a frame boundary counts the next frame.
                    FrameCase {399'850, 400'000, "0:00:00:01"}, FrameCase {399'700, 400'000, "0:00:00:00"},
                    FrameCase {25 * 3600 * kSecond + 61 * kSecond + 3 * 333'667, 333'667, "25:01:01:03"}));

struct DurationCase
{
    std::int64_t time;
    const char *text;
};

class DurationTable : public testing::TestWithParam<DurationCase>
{ };

TEST_P(DurationTable, UsesTheLargestUnitPresent)
{
    EXPECT_EQ(FormatDuration(GetParam().time), QByteArray(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Values, DurationTable,
    testing::Values(DurationCase {0, ""}, DurationCase {9'999'999, ""}, DurationCase {10'000'000, "1s"},
                    DurationCase {3599 * kSecond, "59mn 59s"}, DurationCase {60 * kSecond, "1mn 00s"},
                    DurationCase {36'000'000'000, "1h 00mn 00s"},
                    DurationCase {(100 * 3600 + 5 * 60 + 7) * kSecond, "100h 05mn 07s"}));

struct ChapterCase
{
    std::int64_t time;
    const char *text;
};

class ChapterTimeTable : public testing::TestWithParam<ChapterCase>
{ };

TEST_P(ChapterTimeTable, FormatsToTheMillisecond)
{
    EXPECT_EQ(FormatChapterTime(GetParam().time), QByteArray(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Values, ChapterTimeTable,
                         testing::Values(ChapterCase {0, "00:00:00.000"},
                                         ChapterCase {123'456'789, "00:00:12.345"},
                                         ChapterCase {9'999, "00:00:00.000"},
                                         ChapterCase {(3600 + 2 * 60 + 3) * kSecond + 40'000, "01:02:03.004"},
                                         ChapterCase {100 * 3600 * kSecond, "100:00:00.000"}));

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
