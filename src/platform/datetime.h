// Local date-time values: days since 1899-12-30 00:00 in local time, the
// time of day as the fraction. Settings stamps, file dates and the demux
// start time are held this way.
#pragma once

#include <cstdint>
#include <ctime>

using TDateTime = double;

struct TDateTimeFields
{
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Calendar fields to a date-time (no range check beyond what the fields say).
TDateTime EncodeDateTime(const TDateTimeFields &f);
// A date-time back to calendar fields, rounded to the millisecond.
TDateTimeFields DecodeDateTime(TDateTime value);

// A UTC instant (seconds and nanoseconds since the Unix epoch) converted with
// the current time-zone rules, to the millisecond.
TDateTime LocalDateTimeFromUnix(std::time_t seconds, long nanoseconds = 0);

// The current local date-time, to the millisecond.
TDateTime Now();
