#include "src/platform/datetime.h"

#include <chrono>
#include <cmath>

namespace {

constexpr int64_t kMsPerDay = 86'400'000;

// Day number of 1899-12-30 in the proleptic Gregorian calendar counted by
// std::chrono (days since 1970-01-01).
constexpr int64_t kEpochOffsetDays =
    std::chrono::sys_days {std::chrono::year {1899} / 12 / 30}.time_since_epoch().count();

int64_t DaysFromCivil(int y, int m, int d)
{
    using namespace std::chrono;
    const sys_days date {year {y} / month {unsigned(m)} / day {unsigned(d)}};
    return date.time_since_epoch().count();
}

}  // namespace

TDateTime EncodeDateTime(const TDateTimeFields &f)
{
    const int64_t days = DaysFromCivil(f.year, f.month, f.day) - kEpochOffsetDays;
    const int64_t ms = ((int64_t(f.hour) * 60 + f.minute) * 60 + f.second) * 1000 + f.millisecond;
    // Before the epoch the fraction still counts forward within the day, as
    // the classic date-time format has it (-1.25 is 1899-12-29 06:00).
    if (days < 0)
        return double(days) - double(ms) / kMsPerDay;
    return double(days) + double(ms) / kMsPerDay;
}

TDateTimeFields DecodeDateTime(TDateTime value)
{
    int64_t days = int64_t(std::trunc(value));
    int64_t ms = std::llround(std::fabs(value - double(days)) * kMsPerDay);
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        days += value < 0 ? -1 : 1;
    }
    using namespace std::chrono;
    const year_month_day ymd {sys_days {std::chrono::days {days + kEpochOffsetDays}}};
    TDateTimeFields f;
    f.year = int(ymd.year());
    f.month = int(unsigned(ymd.month()));
    f.day = int(unsigned(ymd.day()));
    f.millisecond = int(ms % 1000);
    f.second = int(ms / 1000 % 60);
    f.minute = int(ms / 60'000 % 60);
    f.hour = int(ms / 3'600'000);
    return f;
}

TDateTime LocalDateTimeFromUnix(std::time_t seconds, long nanoseconds)
{
    std::tm local {};
    if (!localtime_r(&seconds, &local))
        return 0.0;
    TDateTimeFields f;
    f.year = local.tm_year + 1900;
    f.month = local.tm_mon + 1;
    f.day = local.tm_mday;
    f.hour = local.tm_hour;
    f.minute = local.tm_min;
    f.second = local.tm_sec;
    f.millisecond = int(nanoseconds / 1'000'000);
    return EncodeDateTime(f);
}

TDateTime Now()
{
    timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    return LocalDateTimeFromUnix(ts.tv_sec, ts.tv_nsec);
}
