// Test data: the SEI NAL units in which AVCHD camcorders write when a clip
// was filmed (a "user data unregistered" message holding an MDPM block),
// built byte by byte as a camera writes them, emulation prevention
// included.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace mdpm {

using TBytes = std::vector<uint8_t>;

constexpr uint8_t kUserDataUnregistered = 5;
constexpr std::array<uint8_t, 16> kUuid = {0x17, 0xEE, 0x8C, 0x60, 0xF8, 0x4D, 0x11, 0xD9,
                                           0x8C, 0xD6, 0x08, 0x00, 0x20, 0x0C, 0x9A, 0x66};
constexpr std::array<uint8_t, 16> kOtherUuid = {0xDC, 0x45, 0xE9, 0xBD, 0xE6, 0xD9, 0x48, 0xB7,
                                                0x96, 0x2C, 0xD8, 0x20, 0xD9, 0x23, 0xEE, 0xEF};

struct TEntry
{
    uint8_t Tag;
    std::array<uint8_t, 4> Data;
};

inline uint8_t Bcd(int value)
{
    return uint8_t((value / 10) << 4 | value % 10);
}

// The two entries of a date: 0x18 (time zone, year, month), 0x19 (day and
// time of day).
inline std::vector<TEntry> DateEntries(int year, int month, int day, int hour, int minute, int second,
                                       uint8_t zone = 0x09)
{
    return {{0x18, {zone, Bcd(year / 100), Bcd(year % 100), Bcd(month)}},
            {0x19, {Bcd(day), Bcd(hour), Bcd(minute), Bcd(second)}}};
}

// "MDPM", the count (the number of entries unless given), the entries.
inline TBytes Block(const std::vector<TEntry> &entries, int count = -1)
{
    TBytes block = {'M', 'D', 'P', 'M', uint8_t(count < 0 ? entries.size() : size_t(count))};
    for (const TEntry &entry : entries) {
        block.push_back(entry.Tag);
        block.insert(block.end(), entry.Data.begin(), entry.Data.end());
    }
    return block;
}

// A user-data-unregistered payload: the UUID, then the data.
inline TBytes UserData(const std::array<uint8_t, 16> &uuid, const TBytes &data)
{
    TBytes payload(uuid.begin(), uuid.end());
    payload.insert(payload.end(), data.begin(), data.end());
    return payload;
}

struct TMessage
{
    int Type;
    TBytes Payload;
};

// An SEI NAL unit holding the messages, with its stop bit, and emulation
// prevention bytes wherever two zero bytes come before a byte of 3 or less.
inline TBytes SeiNal(const std::vector<TMessage> &messages)
{
    TBytes rbsp;
    const auto putNumber = [&rbsp](size_t value) {
        for (; value >= 0xFF; value -= 0xFF)
            rbsp.push_back(0xFF);
        rbsp.push_back(uint8_t(value));
    };
    for (const TMessage &message : messages) {
        putNumber(size_t(message.Type));
        putNumber(message.Payload.size());
        rbsp.insert(rbsp.end(), message.Payload.begin(), message.Payload.end());
    }
    rbsp.push_back(0x80);
    TBytes nal = {0x06};
    int zeros = 0;
    for (uint8_t byte : rbsp) {
        if (zeros >= 2 && byte <= 3) {
            nal.push_back(0x03);
            zeros = 0;
        }
        nal.push_back(byte);
        zeros = byte == 0 ? zeros + 1 : 0;
    }
    return nal;
}

// The SEI NAL unit a camcorder writes for a clip filmed at that time.
inline TBytes DateSei(int year, int month, int day, int hour, int minute, int second)
{
    std::vector<TEntry> entries = DateEntries(year, month, day, hour, minute, second);
    // Cameras write more tags (exposure, lens...) around the date.
    entries.insert(entries.begin(), TEntry {0x70, {0x01, 0x02, 0x03, 0x04}});
    entries.push_back(TEntry {0x7F, {0xFF, 0xFF, 0x00, 0x00}});
    return SeiNal({{kUserDataUnregistered, UserData(kUuid, Block(entries))}});
}

}  // namespace mdpm
