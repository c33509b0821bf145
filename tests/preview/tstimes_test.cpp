// Clip times from transport streams built here packet by packet, so that
// each case shows one rule: picture counting with B-pictures, the 33-bit
// clock wrapping, 188- and 192-byte packets, audio frames in the last
// packet, and streams too short to measure.
#include "src/preview/tstimes.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <vector>

namespace {

constexpr int kVideoPid = 0x1011, kAudioPid = 0x1100, kPmtPid = 0x100;
constexpr std::int64_t kFrame25 = 3600;  // 40 ms in 90 kHz ticks
constexpr std::int64_t kUnits25 = 400'000;

class TsWriter
{
public:
    explicit TsWriter(int packetSize) : FPacketSize(packetSize) { }

    void Tables(bool withVideo, bool withAudio)
    {
        Section(0, {0x00, 0xB0, 0x0D, 0x00, 0x01, 0xC1, 0x00, 0x00, 0x00, 0x01, 0xE1, 0x00, 0, 0, 0, 0});
        std::vector<std::uint8_t> pmt {0x02, 0xB0, 0x00, 0x00, 0x01, 0xC1,
                                       0x00, 0x00, 0xF0, 0x01, 0xF0, 0x00};
        if (withVideo)
            pmt.insert(pmt.end(), {0x1B, 0xF0, 0x11, 0xF0, 0x00});
        if (withAudio)
            pmt.insert(pmt.end(), {0x81, 0xF1, 0x00, 0xF0, 0x00});
        pmt.insert(pmt.end(), {0, 0, 0, 0});
        pmt[2] = std::uint8_t(pmt.size() - 3);
        Section(kPmtPid, pmt);
    }

    // One PES with time stamp pts whose payload spans `packets` packets.
    void Pes(int pid, std::int64_t pts, int packets, const std::vector<std::uint8_t> &payload = {})
    {
        std::vector<std::uint8_t> data {0,    0,    1, std::uint8_t(pid == kVideoPid ? 0xE0 : 0xBD), 0, 0,
                                        0x80, 0x80, 5};
        data.push_back(std::uint8_t(0x21 | ((pts >> 29) & 0x0E)));
        data.push_back(std::uint8_t(pts >> 22));
        data.push_back(std::uint8_t(0x01 | ((pts >> 14) & 0xFE)));
        data.push_back(std::uint8_t(pts >> 7));
        data.push_back(std::uint8_t(0x01 | ((pts << 1) & 0xFE)));
        data.insert(data.end(), payload.begin(), payload.end());
        data.resize(std::max<std::size_t>(data.size(), std::size_t(packets) * 184), 0xFF);
        for (std::size_t at = 0; at < data.size(); at += 184)
            Packet(
                pid, at == 0,
                std::vector<std::uint8_t>(data.begin() + at, data.begin() + std::min(at + 184, data.size())));
    }

    QByteArray Data() const { return FData; }

private:
    void Section(int pid, std::vector<std::uint8_t> section)
    {
        section.insert(section.begin(), 0);  // pointer field
        Packet(pid, true, section);
    }

    void Packet(int pid, bool start, std::vector<std::uint8_t> payload)
    {
        if (FPacketSize == 192)
            FData.append(4, '\0');
        payload.resize(184, 0xFF);
        FData.append(char(0x47));
        FData.append(char((start ? 0x40 : 0) | (pid >> 8)));
        FData.append(char(pid & 0xFF));
        FData.append(char(0x10 | (FCounter++ & 0x0F)));
        FData.append(reinterpret_cast<const char *>(payload.data()), 184);
    }

    int FPacketSize;
    int FCounter = 0;
    QByteArray FData;
};

// Pictures in stored order I P B B P B B ... with presentation times of a
// 25 fps stream starting at first. With `leading` pictures, the group is
// open: its first stored picture is shown after that many B-pictures
// stored behind it (I B B P B B ...).
void WriteVideo(TsWriter &ts, std::int64_t first, int pictures, int leading = 0)
{
    std::vector<int> order;
    for (int anchor = leading, previous = -1; previous < pictures - 1;
         anchor = std::min(anchor + 3, pictures - 1)) {
        order.push_back(anchor);
        for (int b = previous + 1; b < anchor; ++b)
            order.push_back(b);
        previous = anchor;
    }
    ASSERT_EQ(int(order.size()), pictures);
    for (int n : order)
        ts.Pes(kVideoPid, (first + n * kFrame25) % (std::int64_t(1) << 33), 2);
}

// An AC-3 frame of 48 kHz, 192 kb/s (768 bytes).
std::vector<std::uint8_t> Ac3Frame()
{
    std::vector<std::uint8_t> frame(768, 0);
    frame[0] = 0x0B;
    frame[1] = 0x77;
    frame[4] = 0x14;  // 48 kHz, frame size code 20 (192 kb/s)
    frame[5] = 8 << 3;  // bsid 8
    return frame;
}

// Packet size, presentation time of the first picture shown, and the
// pictures shown before the first one stored.
class VideoTimes : public testing::TestWithParam<std::tuple<int, std::int64_t, int>>
{ };

TEST_P(VideoTimes, CountsEveryPictureOnce)
{
    const auto [packetSize, firstPts, leading] = GetParam();
    TsWriter ts(packetSize);
    ts.Tables(true, false);
    WriteVideo(ts, firstPts, 50, leading);
    const TClipTimes times = ClipTimesOf(ts.Data(), ts.Data());
    EXPECT_TRUE(times.HasVideo);
    EXPECT_FALSE(times.HasAudio);
    EXPECT_EQ(times.PictureDuration, kUnits25);
    EXPECT_EQ(times.VideoDuration, 50 * kUnits25);
    EXPECT_EQ(times.Duration(), 50 * kUnits25);
}

INSTANTIATE_TEST_SUITE_P(PacketsAndClock, VideoTimes,
                         testing::Values(std::make_tuple(192, std::int64_t(126'000), 0),
                                         std::make_tuple(188, std::int64_t(126'000), 0),
                                         // The 33-bit clock wraps in the middle of the clip.
                                         std::make_tuple(192, (std::int64_t(1) << 33) - 20 * kFrame25, 0),
                                         // Open group: two pictures shown before the first one stored, whose
                                         // time stamps lie below it.
                                         std::make_tuple(192, std::int64_t(126'000), 2),
                                         // The same with the clock wrapping between them.
                                         std::make_tuple(192, (std::int64_t(1) << 33) - kFrame25, 2)));

TEST(ClipTimes, ReadsTheLastTimesFromTheTailOnly)
{
    TsWriter ts(192);
    ts.Tables(true, false);
    WriteVideo(ts, 90'000, 250);
    const QByteArray all = ts.Data();
    const QByteArray tail = all.right(all.size() / 3 + 100);  // starts inside a packet
    EXPECT_EQ(ClipTimesOf(all.left(all.size() / 3), tail).VideoDuration, 250 * kUnits25);
}

TEST(ClipTimes, AudioOnlyClipLastsUntilItsLastFrameEnds)
{
    TsWriter ts(192);
    ts.Tables(false, true);
    const std::vector<std::uint8_t> frame = Ac3Frame();
    std::vector<std::uint8_t> three;
    for (int i = 0; i < 3; ++i)
        three.insert(three.end(), frame.begin(), frame.end());
    // 20 packets of three 32 ms frames, then one of a single frame.
    for (int i = 0; i < 20; ++i)
        ts.Pes(kAudioPid, 90'000 + i * 3 * 2880, 1, three);
    ts.Pes(kAudioPid, 90'000 + 60 * 2880, 1, frame);
    const TClipTimes times = ClipTimesOf(ts.Data(), ts.Data());
    EXPECT_FALSE(times.HasVideo);
    EXPECT_TRUE(times.HasAudio);
    EXPECT_EQ(times.AudioDuration, 61 * 320'000);
    EXPECT_EQ(times.Duration(), 61 * 320'000);
}

// An E-AC-3 header with both sample rate codes reserved (fscod and fscod2
// 3) once made the frame counting read past its table of rates.
TEST(ClipTimes, ReservedEac3RateInTheLastPacketIsNoFrame)
{
    TsWriter ts(192);
    ts.Tables(false, true);
    for (int i = 0; i < 3; ++i)
        ts.Pes(kAudioPid, 90'000 + i * 2880, 1, Ac3Frame());
    std::vector<std::uint8_t> reserved(64, 0);
    reserved[0] = 0x0B;
    reserved[1] = 0x77;
    reserved[2] = 0x00;
    reserved[3] = 0x1F;  // 64 bytes
    reserved[4] = 0xF0;  // fscod 3, fscod2 3
    reserved[5] = 16 << 3;  // bsid 16: E-AC-3
    ts.Pes(kAudioPid, 90'000 + 3 * 2880, 1, reserved);
    // The last packet lasts as long as the step before it.
    EXPECT_EQ(ClipTimesOf(ts.Data(), ts.Data()).AudioDuration, 4 * 320'000);
}

// A camera that loses power leaves its clip followed by zeros; the clip
// lasts as long as its pictures, however long the dead tail.
TEST(ClipTimes, ZerosAfterTheClipAddNoTime)
{
    TsWriter ts(192);
    ts.Tables(true, false);
    WriteVideo(ts, 126'000, 50);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const qint64 zeros : {qint64(20) << 20, qint64(4) << 30}) {
        QFile file(dir.filePath(QStringLiteral("powerloss.m2ts")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(ts.Data());
        ASSERT_TRUE(file.resize(ts.Data().size() + zeros));  // sparse: zeros that take no room
        file.close();
        const TClipTimes times = ReadClipTimes(file.fileName());
        EXPECT_TRUE(times.TransportStream);
        EXPECT_EQ(times.VideoDuration, 50 * kUnits25) << zeros << " bytes of zeros";
    }
}

TEST(ClipTimes, OnePictureIsNotEnoughToMeasure)
{
    TsWriter ts(192);
    ts.Tables(true, true);
    ts.Pes(kVideoPid, 126'000, 40);
    ts.Pes(kAudioPid, 125'000, 1, Ac3Frame());
    ts.Pes(kVideoPid, 126'000 + 3 * kFrame25, 2);  // cut short: the file ends here
    const TClipTimes times = ClipTimesOf(ts.Data(), ts.Data());
    EXPECT_TRUE(times.HasVideo);
    EXPECT_EQ(times.VideoDuration, 0);
    // The audio of a clip with video does not stand in for its duration.
    EXPECT_EQ(times.Duration(), 0);
}

TEST(ClipTimes, NotATransportStreamGivesNothing)
{
    for (const QByteArray &data : {QByteArray(), QByteArray("Ceci est un fichier texte, pas un clip.\n"),
                                   QByteArray(100'000, char(0x47))}) {
        const TClipTimes times = ClipTimesOf(data, data);
        EXPECT_FALSE(times.HasVideo);
        EXPECT_FALSE(times.HasAudio);
        EXPECT_EQ(times.Duration(), 0);
    }
}

TEST(FrameDuration, IsTwoStepsOnlyForFieldsOfInterlacedVideo)
{
    struct Case
    {
        std::int64_t step;
        bool interlaced;
        std::int64_t frame;
    };
    for (const Case c :
         {Case {200'000, true, 400'000}, Case {166'778, true, 333'556},  // fields stored apart
          Case {400'000, true, 400'000}, Case {333'667, true, 333'667},  // frames of interlaced video
          Case {200'000, false, 200'000}, Case {166'778, false, 166'778},  // 50p, 59.94p
          Case {0, true, 0}})
        EXPECT_EQ(FrameDurationOf(c.step, c.interlaced), c.frame) << c.step << " " << c.interlaced;
}

}  // namespace
