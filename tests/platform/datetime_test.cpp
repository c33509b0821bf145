#include "src/platform/datetime.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

struct DateCase
{
    TDateTimeFields fields;
    double value;
};

class DateTimeTable : public testing::TestWithParam<DateCase>
{ };

TEST_P(DateTimeTable, EncodesAndDecodesKnownValues)
{
    const DateCase &c = GetParam();
    EXPECT_NEAR(EncodeDateTime(c.fields), c.value, 1e-9);
    const TDateTimeFields back = DecodeDateTime(c.value);
    EXPECT_EQ(back.year, c.fields.year);
    EXPECT_EQ(back.month, c.fields.month);
    EXPECT_EQ(back.day, c.fields.day);
    EXPECT_EQ(back.hour, c.fields.hour);
    EXPECT_EQ(back.minute, c.fields.minute);
    EXPECT_EQ(back.second, c.fields.second);
    EXPECT_EQ(back.millisecond, c.fields.millisecond);
}

INSTANTIATE_TEST_SUITE_P(
    Values, DateTimeTable,
    testing::Values(DateCase {{1899, 12, 30, 0, 0, 0, 0}, 0.0}, DateCase {{1900, 1, 1, 0, 0, 0, 0}, 2.0},
                    DateCase {{1899, 12, 29, 6, 0, 0, 0}, -1.25},
                    DateCase {{2000, 1, 1, 12, 0, 0, 0}, 36526.5},
                    DateCase {{2024, 2, 29, 18, 0, 0, 0}, 45351.75},
                    DateCase {{2026, 12, 10, 23, 59, 59, 999}, 46366.0 + 86399.999 / 86400.0}));

TEST(DateTime, LocalConversionFollowsTheTimeZone)
{
    setenv("TZ", "UTC-2", 1);  // two hours east of UTC
    tzset();
    const TDateTimeFields f = DecodeDateTime(LocalDateTimeFromUnix(0, 250'000'000));
    EXPECT_EQ(f.year, 1970);
    EXPECT_EQ(f.hour, 2);
    EXPECT_EQ(f.millisecond, 250);
    unsetenv("TZ");
    tzset();
}

}  // namespace
