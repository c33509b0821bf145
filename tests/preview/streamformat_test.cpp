// The notifier's format logic on neutral media types, without GStreamer.
#include "src/preview/mediatype.h"
#include "src/preview/streamformat.h"

#include <QDate>
#include <QLocale>

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace MediaGuids;

TMediaType H264(int width, int height, int aspectX, int aspectY, std::int64_t timePerFrame)
{
    TMediaType t;
    t.MajorType = Video;
    t.SubType = FourCCGuid(MakeFourCC('H', '2', '6', '4'));
    t.FormatType = VideoInfo2;
    t.FormatSize = FormatSizes::kVideoInfo2;
    t.Width = width;
    t.Height = height;
    t.Compression = MakeFourCC('H', '2', '6', '4');
    t.AvgTimePerFrame = timePerFrame;
    t.AspectX = aspectX;
    t.AspectY = aspectY;
    return t;
}

TMediaType Wave(const TGuid &subType, std::uint16_t tag, int channels, int rate, int bits, int bytesPerSecond)
{
    TMediaType t;
    t.MajorType = Audio;
    t.SubType = subType;
    t.FormatType = WaveFormatEx;
    t.FormatSize = FormatSizes::kWaveFormatEx;
    t.FormatTag = tag;
    t.Channels = channels;
    t.SampleRate = rate;
    t.BitsPerSample = bits;
    t.AvgBytesPerSec = bytesPerSecond;
    return t;
}

struct VideoCase
{
    const char *what;
    TMediaType type;
    const char *description, *sizeText;
    int aspect;
    std::int64_t frameDuration;
};

class VideoTypes : public testing::TestWithParam<VideoCase>
{ };

TEST_P(VideoTypes, FillFormatAndPicture)
{
    const VideoCase &c = GetParam();
    TvData video;
    const TVideoStart start = StartVideoReport(c.type, true, true, video);
    EXPECT_TRUE(start.Posted);
    EXPECT_FALSE(start.Analyse);
    EXPECT_EQ(video.Description, QByteArray(c.description));
    EXPECT_EQ(video.SizeText, QByteArray(c.sizeText));
    EXPECT_EQ(video.Aspect, c.aspect);
    EXPECT_EQ(video.FrameDuration, c.frameDuration);
    EXPECT_EQ(video.Width, c.type.Width);
    EXPECT_EQ(video.SubType, c.type.SubType);
    EXPECT_EQ(video.Standard, StandardUnknown);
}

INSTANTIATE_TEST_SUITE_P(Table, VideoTypes,
                         testing::Values(VideoCase {"1080 square pixels", H264(1920, 1080, 16, 9, 400'000),
                                                    "H264 (16x9)", "1920x1080 - 25 fps", Aspect16x9, 400'000},
                                         // 1440 anamorphic pixels of 4:3 make a 16:9 picture.
                                         VideoCase {"1440 anamorphic", H264(1440, 1080, 16, 9, 400'000),
                                                    "H264 (16x9)", "1440x1080 - 25 fps", Aspect16x9, 400'000},
                                         VideoCase {"4:3 at 29.97", H264(720, 480, 4, 3, 333'667),
                                                    "H264 (4x3)", "720x480 - 29.97 fps", Aspect4x3, 333'667},
                                         VideoCase {"64:27 and no rate", H264(2560, 1080, 64, 27, 0), "H264",
                                                    "2560x1080", AspectUnknown, 0}));

TEST(VideoTypes, OnlyTheSwitchedPartsAreFilled)
{
    TvData video;
    video.Description = "before";
    StartVideoReport(H264(1920, 1080, 16, 9, 400'000), false, true, video);
    EXPECT_EQ(video.Description, QByteArray("before"));
    EXPECT_EQ(video.Width, 1920);
    TvData formatOnly;
    StartVideoReport(H264(1920, 1080, 16, 9, 400'000), true, false, formatOnly);
    EXPECT_EQ(formatOnly.Description, QByteArray("H264 (16x9)"));
    EXPECT_EQ(formatOnly.Width, 0);
}

TEST(VideoTypes, UnknownOrShortBlocksMatchNothing)
{
    TvData video;
    TMediaType unknown;
    unknown.MajorType = Video;
    EXPECT_FALSE(StartVideoReport(unknown, true, true, video).Posted);
    TMediaType shortBlock = H264(1920, 1080, 16, 9, 400'000);
    shortBlock.FormatSize = FormatSizes::kVideoInfo2 - 1;
    EXPECT_FALSE(StartVideoReport(shortBlock, true, true, video).Posted);
    EXPECT_TRUE(video.Description.isEmpty());
}

TEST(VideoTypes, RawPicturesNameTheirFormat)
{
    TMediaType rgb = H264(320, 180, 16, 9, 400'000);
    rgb.SubType = RGB32;
    rgb.Compression = 0;
    EXPECT_EQ(VideoCodecName(rgb), QByteArray("RGB32"));
    TMediaType i420 = H264(320, 180, 16, 9, 400'000);
    i420.SubType = FourCCGuid(MakeFourCC('I', '4', '2', '0'));
    i420.Compression = MakeFourCC('I', '4', '2', '0');
    EXPECT_EQ(VideoCodecName(i420), QByteArray("I420"));
    i420.Compression = 3;
    EXPECT_EQ(VideoCodecName(i420), QByteArray(""));
}

TEST(VideoTypes, MpegAndDvBlocksAskForSampleAnalysis)
{
    TMediaType mpeg2;
    mpeg2.MajorType = Video;
    mpeg2.SubType = Mpeg2Video;
    mpeg2.FormatType = Mpeg2VideoFormat;
    mpeg2.FormatSize = FormatSizes::kMpeg2Video;
    mpeg2.AspectX = 4;
    mpeg2.AspectY = 3;
    TvData video;
    const TVideoStart start = StartVideoReport(mpeg2, true, true, video);
    EXPECT_TRUE(start.Analyse);
    EXPECT_EQ(video.Description, QByteArray("MPEG2 (4x3)"));

    TMediaType dv;
    dv.MajorType = Video;
    dv.SubType = FourCCGuid(MakeFourCC('d', 'v', 's', 'd'));
    dv.FormatType = VideoInfo;
    dv.FormatSize = FormatSizes::VideoInfo;
    dv.Width = 720;
    dv.Height = 576;
    dv.Compression = MakeFourCC('d', 'v', 's', 'd');
    TvData dvVideo;
    EXPECT_TRUE(StartVideoReport(dv, true, true, dvVideo).Analyse);
    EXPECT_EQ(dvVideo.Standard, StandardPAL);
    EXPECT_EQ(dvVideo.Description, QByteArray("dvsd"));
}

struct AudioCase
{
    const char *what;
    TMediaType type;
    const char *codecName;
    const char *description;
};

class AudioTypes : public testing::TestWithParam<AudioCase>
{ };

// The codec name comes from the source stream's type; the description from
// the decoded type the notifier sees, with that name in front.
TEST_P(AudioTypes, CodecNameAndDescription)
{
    const AudioCase &c = GetParam();
    TaData audio;
    audio.CodecName = AudioCodecName(c.type);
    EXPECT_EQ(audio.CodecName, QByteArray(c.codecName));
    const TAudioStart start = StartAudioReport(c.type, audio);
    EXPECT_TRUE(start.Posted);
    EXPECT_EQ(audio.Description, QByteArray(c.description));
    EXPECT_EQ(audio.BitRate, c.type.AvgBytesPerSec * 8);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AudioTypes,
    testing::Values(
        AudioCase {"ac3 2.0", Wave(DolbyAC3, 0x2000, 2, 48000, 0, 24000), "DOLBY AC3",
                   "DOLBY AC3 48000Hz 192Kb/s stéréo"},
        AudioCase {"ac3 5.1", Wave(DolbyAC3, 0x2000, 6, 48000, 0, 56000), "DOLBY AC3",
                   "DOLBY AC3 48000Hz 448Kb/s 6 canaux"},
        AudioCase {"lpcm", Wave(DvdLpcm, 1, 2, 48000, 16, 192000), "LPCM", "LPCM 48000Hz 16bits  stéréo"},
        AudioCase {"pcm mono", Wave(FourCCGuid(1), 1, 1, 44100, 16, 88200), "PCM",
                   "PCM 44100Hz 16bits  mono"},
        AudioCase {"wma tag cut to four", Wave(FourCCGuid(0x162), 0x162, 2, 44100, 0, 16000), "WMA_",
                   "WMA_ 44100Hz 128Kb/s stéréo"},
        // A tag whose name is unknown gives an empty name, not "???".
        AudioCase {"unknown tag", Wave(FourCCGuid(0x4242), 0x4242, 2, 0, 0, 0), "", " 0Kb/s stéréo"}));

TEST(AudioTypes, DecodedAc3DescribesTheDecodedSamples)
{
    TaData audio;
    audio.CodecName = "DOLBY AC3";
    StartAudioReport(Wave(FourCCGuid(1), 1, 2, 48000, 16, 192000), audio);
    EXPECT_EQ(audio.Description, QByteArray("DOLBY AC3 48000Hz 16bits  stéréo"));
}

TEST(AudioTypes, NotAudioOrNoWaveBlock)
{
    TMediaType video = H264(1920, 1080, 16, 9, 400'000);
    EXPECT_EQ(AudioCodecName(video), QByteArray("???"));
    TMediaType bare;
    bare.MajorType = Audio;
    EXPECT_EQ(AudioCodecName(bare), QByteArray("???"));
    TaData audio;
    EXPECT_FALSE(StartAudioReport(bare, audio).Posted);
    TMediaType dv;
    dv.FormatType = DvInfo;
    dv.FormatSize = FormatSizes::kDvInfo;
    const TAudioStart start = StartAudioReport(dv, audio);
    EXPECT_TRUE(start.Posted);
    EXPECT_TRUE(start.Analyse);
}

TEST(SizeTexts, RateInShortestFormWithTheUsersSeparator)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    EXPECT_EQ(SizeText(1920, 1080, 10'000'000.0 / 333'667), QByteArray("1920x1080 - 29,97 fps"));
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(SizeText(1920, 1080, 10'000'000.0 / 333'667), QByteArray("1920x1080 - 29.97 fps"));
    EXPECT_EQ(SizeText(1920, 1080, 24000.0 / 1001), QByteArray("1920x1080 - 23.98 fps"));
    EXPECT_EQ(SizeText(1920, 1080, 25), QByteArray("1920x1080 - 25 fps"));
    EXPECT_EQ(SizeText(1920, 1080, 0), QByteArray("1920x1080"));
    QLocale::setDefault(saved);
}

TEST(Aspects, OnlyExactRatios)
{
    EXPECT_EQ(AspectOf(16, 9), Aspect16x9);
    EXPECT_EQ(AspectOf(1920, 1080), Aspect16x9);
    EXPECT_EQ(AspectOf(4, 3), Aspect4x3);
    EXPECT_EQ(AspectOf(64, 27), AspectUnknown);
    EXPECT_EQ(AspectOf(0, 0), AspectUnknown);
}

std::vector<std::uint8_t> SequenceHeader(int width, int height, int aspectCode, int rateCode)
{
    return {0x00,
            0x00,
            0x01,
            0xB3,
            std::uint8_t(width >> 4),
            std::uint8_t((width & 0x0F) << 4 | height >> 8),
            std::uint8_t(height & 0xFF),
            std::uint8_t(aspectCode << 4 | rateCode)};
}

TEST(Mpeg2Headers, ReadSizeAspectAndRateAndReportOnlyChanges)
{
    TvData video;
    const auto header = SequenceHeader(720, 576, 3, 3);
    EXPECT_TRUE(AnalyseMpeg2Header(header.data(), header.size(), video));
    EXPECT_EQ(video.Width, 720);
    EXPECT_EQ(video.Height, 576);
    EXPECT_EQ(video.Aspect, Aspect16x9);
    EXPECT_DOUBLE_EQ(video.FrameRate, 25);
    EXPECT_EQ(video.Description, QByteArray("MPEG2 (16x9)"));
    EXPECT_FALSE(AnalyseMpeg2Header(header.data(), header.size(), video));
    const auto fourThree = SequenceHeader(720, 576, 2, 3);
    EXPECT_TRUE(AnalyseMpeg2Header(fourThree.data(), fourThree.size(), video));
    EXPECT_EQ(video.Description, QByteArray("MPEG2 (4x3)"));
}

TEST(Mpeg2Headers, RateCodes)
{
    const struct
    {
        int code;
        double rate;
    } codes[] = {{1, 24000.0 / 1001}, {4, 30000.0 / 1001}, {8, 60}, {0, 0}, {9, 0}, {15, 0}};
    for (const auto &c : codes) {
        TvData video;
        video.FrameRate = -1;
        const auto header = SequenceHeader(720, 480, 2, c.code);
        AnalyseMpeg2Header(header.data(), header.size(), video);
        EXPECT_DOUBLE_EQ(video.FrameRate, c.rate) << c.code;
    }
}

TEST(Mpeg2Headers, OnlyAtTheStartOfTheSample)
{
    TvData video;
    auto sample = SequenceHeader(720, 576, 3, 3);
    sample.insert(sample.begin(), {0x00, 0x00, 0x01, 0xB5});
    EXPECT_FALSE(AnalyseMpeg2Header(sample.data(), sample.size(), video));
    EXPECT_EQ(video.Width, 0);
}

// A DV frame of ten DIF sequences with the source-control pack set.
std::vector<std::uint8_t> DvFrame(std::uint8_t standardByte, std::uint8_t displayMode)
{
    std::vector<std::uint8_t> frame(10 * 12'000);
    frame[3] = standardByte;
    frame[453] = 0x61;
    frame[455] = displayMode;
    // Recording date 2009-07-14, 13:45:30, BCD.
    frame[458] = 0x62;
    frame[460] = 0x14;
    frame[461] = 0x07;
    frame[462] = 0x09;
    frame[463] = 0x63;
    frame[465] = 0x30;
    frame[466] = 0x45;
    frame[467] = 0x13;
    // Timecode 01:02:03:04 in both subcode blocks.
    frame[110] = frame[190] = 0x13;
    frame[111] = 0x04;
    frame[112] = 0x03;
    frame[113] = 0x02;
    frame[114] = 0x01;
    // Audio: 48 kHz, 16 bits.
    frame[4323] = 0x50;
    frame[4327] = 0x00;
    return frame;
}

TEST(DvFrames, StandardAspectDateAndTimecode)
{
    TvData video;
    const auto frame = DvFrame(0xBF, 2);
    EXPECT_TRUE(AnalyseDvVideo(frame.data(), frame.size(), 1, video));
    EXPECT_EQ(video.Standard, StandardPAL);
    EXPECT_EQ(video.Width, 720);
    EXPECT_EQ(video.Height, 576);
    EXPECT_EQ(video.Aspect, Aspect16x9);
    EXPECT_EQ(video.Description, QByteArray("DV type1 Pal  (16x9) "));
    ASSERT_TRUE(video.RecDateValid);
    const double expected =
        QDate(1899, 12, 30).daysTo(QDate(2009, 7, 14)) + (13 * 3600 + 45 * 60 + 30) / 86400.0;
    EXPECT_NEAR(video.RecDateTime, expected, 1e-9);
    ASSERT_TRUE(video.TimecodeValid);
    EXPECT_EQ(video.Timecode[0], 1);
    EXPECT_EQ(video.Timecode[3], 4);
    EXPECT_FALSE(AnalyseDvVideo(frame.data(), frame.size(), 1, video));

    TvData ntsc;
    const auto narrow = DvFrame(0x3F, 0);
    EXPECT_TRUE(AnalyseDvVideo(narrow.data(), narrow.size(), 1, ntsc));
    EXPECT_EQ(ntsc.Height, 480);
    EXPECT_EQ(ntsc.Description, QByteArray("DV type1 NTSC  (4x3) "));
}

TEST(DvFrames, WithoutTheSourcePackNothingIsRead)
{
    TvData video;
    auto frame = DvFrame(0xBF, 2);
    frame[453] = 0;
    EXPECT_FALSE(AnalyseDvVideo(frame.data(), frame.size(), 1, video));
    EXPECT_EQ(video.Standard, StandardUnknown);
    TaData audio;
    EXPECT_FALSE(AnalyseDvAudio(frame.data(), frame.size(), audio));
}

TEST(DvFrames, AudioSamplingReportedOnChange)
{
    TaData audio;
    const auto frame = DvFrame(0xBF, 2);
    EXPECT_TRUE(AnalyseDvAudio(frame.data(), frame.size(), audio));
    EXPECT_EQ(audio.SampleRate, 48000);
    EXPECT_EQ(audio.BitsPerSample, 16);
    EXPECT_EQ(audio.Description, QByteArray("DV 48000Hz 16bits stéréo"));
    EXPECT_FALSE(AnalyseDvAudio(frame.data(), frame.size(), audio));
}

}  // namespace
