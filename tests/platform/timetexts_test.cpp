#include "src/platform/timetexts.h"

#include <gtest/gtest.h>

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

// A time and the text it gives.
struct TimeCase
{
    std::int64_t time;
    const char *text;
};

class DurationTable : public testing::TestWithParam<TimeCase>
{ };

TEST_P(DurationTable, UsesTheLargestUnitPresent)
{
    EXPECT_EQ(FormatDuration(GetParam().time), QByteArray(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Values, DurationTable,
                         testing::Values(TimeCase {0, ""}, TimeCase {9'999'999, ""},
                                         TimeCase {10'000'000, "1s"}, TimeCase {3599 * kSecond, "59mn 59s"},
                                         TimeCase {60 * kSecond, "1mn 00s"},
                                         TimeCase {36'000'000'000, "1h 00mn 00s"},
                                         TimeCase {(100 * 3600 + 5 * 60 + 7) * kSecond, "100h 05mn 07s"}));

class ChapterTimeTable : public testing::TestWithParam<TimeCase>
{ };

TEST_P(ChapterTimeTable, FormatsToTheMillisecond)
{
    EXPECT_EQ(FormatChapterTime(GetParam().time), QByteArray(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Values, ChapterTimeTable,
                         testing::Values(TimeCase {0, "00:00:00.000"}, TimeCase {123'456'789, "00:00:12.345"},
                                         TimeCase {9'999, "00:00:00.000"},
                                         TimeCase {(3600 + 2 * 60 + 3) * kSecond + 40'000, "01:02:03.004"},
                                         TimeCase {100 * 3600 * kSecond, "100:00:00.000"}));

}  // namespace
