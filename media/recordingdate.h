// The recording date and time that AVCHD camcorders write into their
// H.264 stream: an SEI "user data unregistered" message with the UUID
// 17ee8c60-f84d-11d9-8cd6-0800200c9a66, whose payload is the "MDPM" block
// (a count byte, then that many entries of a tag byte and four data bytes).
// Tag 0x18 holds a time-zone byte, the year's high and low BCD bytes and
// the month; tag 0x19 the day, hour, minute and second, all in BCD. The
// time is the camera's clock: local time where the clip was filmed.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

struct TRecordingDate
{
    int Year = 0, Month = 0, Day = 0;
    int Hour = 0, Minute = 0, Second = 0;

    auto operator<=>(const TRecordingDate &) const = default;
};

// The date of an MDPM block (`block` begins with "MDPM"); none when a tag
// is missing, a field is not BCD or out of range, or the block is shorter
// than its count says.
std::optional<TRecordingDate> ParseMdpmBlock(std::span<const uint8_t> block);

// The date of the first MDPM message of one SEI NAL unit (header byte
// first, emulation prevention bytes still in).
std::optional<TRecordingDate> RecordingDateOfSei(std::span<const uint8_t> nal);

// What a look at the start of a clip found. `Decided`: looking further
// would not change the answer (a date was found, the first key frame's
// slices were reached, or the data is not a clip).
struct TRecordingDateReading
{
    std::optional<TRecordingDate> Date;
    bool Decided = false;
};

// Looks through an H.264 Annex B stream for the first MDPM message, up to
// the first slice of the first key frame (an IDR or intra picture): a
// camera writes its SEI before the slices of a picture.
TRecordingDateReading ScanRecordingDate(std::span<const uint8_t> annexB);

// The same over the start of a transport stream (188- or 192-byte
// packets): the video stream of its first program.
TRecordingDateReading ReadRecordingDateOf(std::span<const uint8_t> head);

// The recording date of the clip file at `path`, from the start of the
// file only (as far as the first key frame); none for a clip without it
// and for what is not a readable transport stream.
std::optional<TRecordingDate> ReadRecordingDateOfFile(const std::string &path);
