#include "media/recordingdate.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "media/annexb.h"
#include "media/bitreader.h"
#include "media/h264parser.h"
#include "media/tspackets.h"

namespace {

constexpr uint8_t kSeiUserDataUnregistered = 5;
constexpr std::array<uint8_t, 16> kMdpmUuid = {0x17, 0xEE, 0x8C, 0x60, 0xF8, 0x4D, 0x11, 0xD9,
                                               0x8C, 0xD6, 0x08, 0x00, 0x20, 0x0C, 0x9A, 0x66};
constexpr std::array<uint8_t, 4> kMdpmMagic = {'M', 'D', 'P', 'M'};
constexpr size_t kMdpmEntrySize = 5;  // tag byte and four data bytes
constexpr uint8_t kTagYearMonth = 0x18;  // time zone, year (two bytes), month
constexpr uint8_t kTagDayTime = 0x19;  // day, hour, minute, second
constexpr uint8_t kRbspStopByte = 0x80;  // rbsp_trailing_bits of the SEI NAL unit
// An SEI NAL unit of a camera is a few hundred bytes; no more is unescaped.
constexpr size_t kLongestSei = 64 * 1024;
// Enough of a slice header for first_mb_in_slice and slice_type.
constexpr size_t kSliceTypeBytes = 16;
constexpr size_t kFirstWindow = 512 * 1024;
constexpr size_t kLastWindow = 8 * 1024 * 1024;

// A BCD byte's value, or -1 when a digit is above 9.
int Bcd(uint8_t byte)
{
    const int high = byte >> 4, low = byte & 0x0F;
    return high > 9 || low > 9 ? -1 : high * 10 + low;
}

int DaysInMonth(int year, int month)
{
    constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

bool IsValid(const TRecordingDate &d)
{
    return d.Year >= 0 && d.Month >= 1 && d.Month <= 12 && d.Day >= 1 && d.Day <= DaysInMonth(d.Year, d.Month)
           && d.Hour >= 0 && d.Hour <= 23 && d.Minute >= 0 && d.Minute <= 59 && d.Second >= 0
           && d.Second <= 59;
}

// An SEI message's type or size: bytes of 0xFF add up until a smaller one.
bool ReadSeiNumber(const std::vector<uint8_t> &rbsp, size_t &pos, size_t &value)
{
    value = 0;
    while (pos < rbsp.size()) {
        const uint8_t byte = rbsp[pos++];
        value += byte;
        if (byte != 0xFF)
            return true;
    }
    return false;
}

// True for the first slice of an IDR picture, or of a picture whose slice
// is intra (the key frames of streams with open groups of pictures).
bool IsKeyFrameSlice(const uint8_t *nal, size_t size)
{
    const uint8_t type = NalType(nal);
    if (type == uint8_t(EH264Nal::Idr))
        return true;
    if (type != uint8_t(EH264Nal::Slice))
        return false;
    const std::vector<uint8_t> rbsp = UnescapeNal(nal + 1, size - 1, kSliceTypeBytes);
    try {
        TBitReader reader(rbsp.data(), rbsp.size());
        reader.Ue();  // first_mb_in_slice
        const auto sliceType = ESliceType(reader.Ue() % 5);
        return sliceType == ESliceType::I || sliceType == ESliceType::SI;
    } catch (const std::runtime_error &) {
        return false;  // a damaged header is no key frame to stop at
    }
}

// The elementary stream of the first program's video in `head`: the
// payloads of its PES packets from the first one that starts in it.
std::vector<uint8_t> VideoStreamOf(std::span<const uint8_t> head, int packetSize, int videoPid)
{
    std::vector<uint8_t> stream;
    bool started = false;
    ForEachPesPiece(head.data(), head.size(), packetSize, videoPid, [&](const TPesPiece &piece) {
        started = started || piece.Start;
        if (started)
            stream.insert(stream.end(), piece.Data, piece.Data + piece.Size);
    });
    return stream;
}

// Up to `size` bytes from the start of the regular file at `path`.
std::vector<uint8_t> ReadHead(const std::string &path, size_t size)
{
    std::error_code error;
    // Only regular files: opening a named pipe would block.
    if (!std::filesystem::is_regular_file(path, error))
        return {};
    std::ifstream file(path, std::ios::binary);
    std::vector<uint8_t> data(size);
    file.read(reinterpret_cast<char *>(data.data()), std::streamsize(size));
    data.resize(size_t(std::max<std::streamsize>(file.gcount(), 0)));
    return data;
}

}  // namespace

std::optional<TRecordingDate> ParseMdpmBlock(std::span<const uint8_t> block)
{
    if (block.size() < kMdpmMagic.size() + 1
        || !std::equal(kMdpmMagic.begin(), kMdpmMagic.end(), block.begin()))
        return std::nullopt;
    const size_t count = block[kMdpmMagic.size()];
    const std::span<const uint8_t> entries = block.subspan(kMdpmMagic.size() + 1);
    if (entries.size() < count * kMdpmEntrySize)
        return std::nullopt;  // truncated: what is there cannot be trusted
    std::optional<std::array<int, 4>> yearMonth, dayTime;
    for (size_t i = 0; i < count; ++i) {
        const std::span<const uint8_t> entry = entries.subspan(i * kMdpmEntrySize, kMdpmEntrySize);
        auto *slot = entry[0] == kTagYearMonth ? &yearMonth : entry[0] == kTagDayTime ? &dayTime : nullptr;
        // Other tags are passed over; of a repeated tag the first counts.
        if (slot && !*slot)
            *slot = std::array<int, 4> {Bcd(entry[1]), Bcd(entry[2]), Bcd(entry[3]), Bcd(entry[4])};
    }
    if (!yearMonth || !dayTime)
        return std::nullopt;
    // The first byte of the year-month entry is the time zone, not a BCD
    // field: the date is kept as the camera's clock showed it.
    const auto &ym = *yearMonth;
    const auto &dt = *dayTime;
    if (ym[1] < 0 || ym[2] < 0)
        return std::nullopt;
    const TRecordingDate date {ym[1] * 100 + ym[2], ym[3], dt[0], dt[1], dt[2], dt[3]};
    if (!IsValid(date))
        return std::nullopt;
    return date;
}

std::optional<TRecordingDate> RecordingDateOfSei(std::span<const uint8_t> nal)
{
    if (nal.size() < 2 || NalType(nal.data()) != uint8_t(EH264Nal::Sei))
        return std::nullopt;
    const std::vector<uint8_t> rbsp = UnescapeNal(nal.data() + 1, nal.size() - 1, kLongestSei);
    size_t pos = 0;
    while (pos < rbsp.size() && rbsp[pos] != kRbspStopByte) {
        size_t type = 0, size = 0;
        if (!ReadSeiNumber(rbsp, pos, type) || !ReadSeiNumber(rbsp, pos, size) || size > rbsp.size() - pos)
            return std::nullopt;  // a truncated message
        const std::span<const uint8_t> payload(rbsp.data() + pos, size);
        if (type == kSeiUserDataUnregistered && size >= kMdpmUuid.size()
            && std::equal(kMdpmUuid.begin(), kMdpmUuid.end(), payload.begin()))
            return ParseMdpmBlock(payload.subspan(kMdpmUuid.size()));
        pos += size;
    }
    return std::nullopt;
}

TRecordingDateReading ScanRecordingDate(std::span<const uint8_t> annexB)
{
    TRecordingDateReading reading;
    if (annexB.empty())
        return reading;  // nothing of the stream yet
    ForEachNal(annexB.data(), annexB.size(), [&reading](const uint8_t *nal, size_t size) {
        if (NalType(nal) == uint8_t(EH264Nal::Sei))
            reading.Date = RecordingDateOfSei({nal, size});
        reading.Decided = reading.Date || IsKeyFrameSlice(nal, size);
        return !reading.Decided;
    });
    return reading;
}

TRecordingDateReading ReadRecordingDateOf(std::span<const uint8_t> head)
{
    const int packetSize = TsPacketSizeOf(head.data(), head.size());
    if (packetSize == 0)
        return {std::nullopt, true};
    const std::optional<TProgramStreams> program = ReadProgramStreams(head.data(), head.size(), packetSize);
    if (!program || program->VideoPid < 0)
        return {std::nullopt, true};
    return ScanRecordingDate(VideoStreamOf(head, packetSize, program->VideoPid));
}

std::optional<TRecordingDate> ReadRecordingDateOfFile(const std::string &path)
{
    for (size_t window = kFirstWindow;; window *= 2) {
        const std::vector<uint8_t> head = ReadHead(path, window);
        const TRecordingDateReading reading = ReadRecordingDateOf(head);
        // A file shorter than the window has been read whole.
        if (reading.Decided || head.size() < window || window >= kLastWindow)
            return reading.Date;
    }
}
