#include "src/preview/streamformat.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>

#include <cmath>

namespace {

using namespace MediaGuids;

constexpr double kUnitsPerSecond = 10'000'000.0;

void CopyGuids(const TMediaType &type, TvData &video)
{
    video.MajorType = type.MajorType;
    video.SubType = type.SubType;
    video.FormatType = type.FormatType;
}

// The picture part: size, bit count, frame duration and rate, size text.
void FillPicture(const TMediaType &type, TvData &video)
{
    video.Width = type.Width;
    video.Height = type.Height;
    video.BitCount = type.BitCount;
    video.FrameDuration = type.AvgTimePerFrame;
    video.FrameRate = type.AvgTimePerFrame > 0 ? kUnitsPerSecond / double(type.AvgTimePerFrame) : 0;
    video.SizeText = SizeText(video.Width, video.Height, video.FrameRate);
}

TStandard StandardOfHeight(std::int32_t height)
{
    switch (height) {
    case 120:
    case 240:
    case 480: return StandardNTSC;
    case 144:
    case 288:
    case 576: return StandardPAL;
    default: return StandardUnknown;
    }
}

// One interpretation of a starting video type: whether it matches, the
// format part, and whether the samples must be analysed.
struct TInterpretation
{
    bool (*matches)(const TMediaType &);
    void (*format)(const TMediaType &, TvData &);
    bool analyse;
};

bool IsDvVideoInfo(const TMediaType &t)
{
    return t.SubType == FourCCGuid(MakeFourCC('d', 'v', 's', 'd')) && t.FormatType == VideoInfo
           && t.FormatSize >= FormatSizes::VideoInfo;
}
bool IsMpeg2(const TMediaType &t)
{
    return t.FormatType == Mpeg2VideoFormat && t.FormatSize >= FormatSizes::kMpeg2Video;
}
bool IsDvInfo(const TMediaType &t)
{
    return t.FormatType == DvInfo && t.FormatSize >= FormatSizes::kDvInfo;
}
bool IsVideoInfo(const TMediaType &t)
{
    return t.FormatType == VideoInfo && t.FormatSize >= FormatSizes::VideoInfo;
}
bool IsVideoInfo2(const TMediaType &t)
{
    return t.FormatType == VideoInfo2 && t.FormatSize >= FormatSizes::kVideoInfo2;
}
bool IsMpeg1(const TMediaType &t)
{
    return t.FormatType == MpegVideo && t.FormatSize >= FormatSizes::kMpeg1Video;
}

void DvVideoInfoFormat(const TMediaType &t, TvData &v)
{
    v.CodecName = VideoCodecName(t);
    v.Width = t.Width;
    v.Height = t.Height;
    v.BitCount = t.BitCount;
    v.Standard = StandardOfHeight(t.Height);
    v.BitRate = t.BitRate;
    v.Aspect = AspectUnknown;
    v.Description = v.CodecName;
}
void Mpeg2Format(const TMediaType &t, TvData &v)
{
    v.Aspect = AspectOf(t.AspectX, t.AspectY);
    v.Standard = StandardUnknown;
    v.BitRate = t.BitRate;
    v.CodecName = "MPEG2";
    v.Description = "MPEG2" + AspectSuffix(v.Aspect);
}
void DvInfoFormat(const TMediaType &, TvData &v)
{
    v.Standard = StandardUnknown;
    v.Aspect = AspectUnknown;
}
void VideoInfoFormat(const TMediaType &t, TvData &v)
{
    v.CodecName = VideoCodecName(t);
    v.BitRate = t.BitRate;
    v.Aspect = AspectUnknown;
    v.Standard = StandardUnknown;
    v.Description = v.CodecName;
}
void VideoInfo2Format(const TMediaType &t, TvData &v)
{
    v.Aspect = AspectOf(t.AspectX, t.AspectY);
    v.BitRate = t.BitRate;
    v.Standard = StandardUnknown;
    v.CodecName = VideoCodecName(t);
    v.Description = v.CodecName + AspectSuffix(v.Aspect);
}
void Mpeg1Format(const TMediaType &t, TvData &v)
{
    v.Aspect = AspectUnknown;
    v.Standard = StandardUnknown;
    v.BitRate = t.BitRate;
    v.CodecName = "MPEG1";
    v.Description = "MPEG1";
}

// In the order they are tried; the DV-info block carries no picture.
constexpr TInterpretation kInterpretations[] = {
    {IsDvVideoInfo, DvVideoInfoFormat, true}, {IsMpeg2, Mpeg2Format, true},
    {IsDvInfo, DvInfoFormat, true},           {IsVideoInfo, VideoInfoFormat, false},
    {IsVideoInfo2, VideoInfo2Format, false},  {IsMpeg1, Mpeg1Format, false},
};

double Mpeg2FrameRate(int code)
{
    switch (code) {
    case 1: return 24000.0 / 1001;
    case 2: return 24;
    case 3: return 25;
    case 4: return 30000.0 / 1001;
    case 5: return 30;
    case 6: return 50;
    case 7: return 60000.0 / 1001;
    case 8: return 60;
    default: return 0;
    }
}

constexpr std::size_t kDifSequence = 12'000;

// Sequence n of a DV frame, or null when the frame is shorter.
const std::uint8_t *Sequence(const std::uint8_t *frame, std::size_t size, int n)
{
    const std::size_t start = std::size_t(n) * kDifSequence;
    return start + kDifSequence <= size ? frame + start : nullptr;
}

constexpr std::size_t kVauxSourceControl = 453;
bool HasSourceControl(const std::uint8_t *sequence)
{
    return sequence[kVauxSourceControl] == 0x61;
}

int Bcd(std::uint8_t byte, std::uint8_t tensMask)
{
    return (byte & 0x0F) + 10 * ((byte & tensMask) >> 4);
}

bool IsWide(const std::uint8_t *frame, std::size_t size)
{
    for (int n = 0; n < 10; ++n) {
        const std::uint8_t *s = Sequence(frame, size, n);
        if (!s)
            break;
        if (HasSourceControl(s)) {
            const int display = s[455] & 7;
            return display == 2 || (display == 7 && (s[7] & 7) == 0);
        }
    }
    return false;
}

void ReadRecordingDate(const std::uint8_t *frame, std::size_t size, TvData &video)
{
    video.RecDateValid = false;
    video.RecDateTime = 0;
    for (int n = 0; n < 10; ++n) {
        const std::uint8_t *s = Sequence(frame, size, n);
        if (!s)
            return;
        if ((s[458] != 0x62 && s[458] != 0) || (s[463] != 0x63 && s[463] != 0))
            continue;
        int year = (s[462] & 0x0F) + 10 * (s[462] >> 4);
        year += year < 40 ? 2000 : 1900;
        const QDate date(year, Bcd(s[461], 0x10), Bcd(s[460], 0x30));
        const QTime time(Bcd(s[467], 0x30), Bcd(s[466], 0x70), Bcd(s[465], 0x70));
        if (date.isValid() && time.isValid()) {
            video.RecDateValid = true;
            video.RecDateTime =
                double(QDate(1899, 12, 30).daysTo(date)) + time.msecsSinceStartOfDay() / 86'400'000.0;
        }
        return;
    }
}

void ReadTimecode(const std::uint8_t *frame, std::size_t size, TvData &video)
{
    for (int n = 0; n < 10; ++n) {
        const std::uint8_t *s = Sequence(frame, size, n);
        if (!s)
            return;
        if (s[110] == 0x13 && s[190] == 0x13) {
            video.Timecode[0] = std::uint8_t(Bcd(s[114], 0x30));
            video.Timecode[1] = std::uint8_t(Bcd(s[113], 0x70));
            video.Timecode[2] = std::uint8_t(Bcd(s[112], 0x70));
            video.Timecode[3] = std::uint8_t(Bcd(s[111], 0x30));
            video.TimecodeValid = true;
            return;
        }
    }
}

}  // namespace

TAspect AspectOf(std::int32_t x, std::int32_t y)
{
    if (x <= 0 && y <= 0)
        return AspectUnknown;
    if (std::int64_t(3) * x == std::int64_t(4) * y)
        return Aspect4x3;
    if (std::int64_t(9) * x == std::int64_t(16) * y)
        return Aspect16x9;
    return AspectUnknown;
}

QByteArray AspectSuffix(std::uint8_t aspect)
{
    return aspect == Aspect4x3 ? " (4x3)" : aspect == Aspect16x9 ? " (16x9)" : "";
}

QByteArray SizeText(std::int32_t width, std::int32_t height, double frameRate)
{
    QByteArray text = QByteArray::number(width) + 'x' + QByteArray::number(height);
    if (frameRate > 0) {
        QLocale locale;
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        const double rounded = std::round(frameRate * 100) / 100;
        text += " - " + locale.toString(rounded, 'g', 15).toUtf8() + " fps";
    }
    return text;
}

TVideoStart StartVideoReport(const TMediaType &type, bool reportFormat, bool reportPicture, TvData &video)
{
    for (const TInterpretation &i : kInterpretations) {
        if (!i.matches(type))
            continue;
        if (reportFormat) {
            CopyGuids(type, video);
            i.format(type, video);
        }
        if (reportPicture && i.format != DvInfoFormat)
            FillPicture(type, video);
        return {true, i.analyse};
    }
    return {};
}

QByteArray AudioDescription(const TaData &audio)
{
    QByteArray text = audio.CodecName;
    if (audio.SampleRate > 0)
        text += ' ' + QByteArray::number(audio.SampleRate) + "Hz";
    if (audio.BitsPerSample <= 0)
        text += ' ' + QByteArray::number(audio.BitRate / 1000) + "Kb/s";
    else
        text += ' ' + QByteArray::number(audio.BitsPerSample) + "bits ";
    if (audio.Channels == 1)
        text += " mono";
    else if (audio.Channels == 2)
        text += " stéréo";
    else
        text += ' ' + QByteArray::number(audio.Channels) + " canaux";
    return text;
}

TAudioStart StartAudioReport(const TMediaType &type, TaData &audio)
{
    if (type.FormatType == WaveFormatEx && type.FormatSize >= FormatSizes::kWaveFormatEx) {
        audio.MajorType = type.MajorType;
        audio.SubType = type.SubType;
        audio.FormatType = type.FormatType;
        audio.Channels = type.Channels;
        audio.SampleRate = type.SampleRate;
        audio.BitsPerSample = type.BitsPerSample;
        audio.BitRate = type.AvgBytesPerSec * 8;
        audio.Description = AudioDescription(audio);
        return {true, false};
    }
    if (type.FormatType == DvInfo && type.FormatSize >= FormatSizes::kDvInfo)
        return {true, true};
    return {};
}

bool AnalyseMpeg2Header(const std::uint8_t *sample, std::size_t size, TvData &video)
{
    if (size < 8 || sample[0] != 0 || sample[1] != 0 || sample[2] != 1 || sample[3] != 0xB3)
        return false;
    const std::int32_t width = sample[4] * 16 + (sample[5] >> 4);
    const std::int32_t height = (sample[5] & 0x0F) * 256 + sample[6];
    const int aspectCode = sample[7] >> 4;
    const std::uint8_t aspect = aspectCode == 2 ? Aspect4x3 : aspectCode == 3 ? Aspect16x9 : AspectUnknown;
    const double rate = Mpeg2FrameRate(sample[7] & 0x0F);
    bool changed = false;
    auto update = [&changed](auto &field, auto value) {
        if (field != value) {
            field = value;
            changed = true;
        }
    };
    update(video.Width, width);
    update(video.Height, height);
    update(video.Aspect, aspect);
    update(video.FrameRate, rate);
    if (changed)
        video.Description = "MPEG2" + AspectSuffix(video.Aspect);
    return changed;
}

bool AnalyseDvVideo(const std::uint8_t *frame, std::size_t size, int dvType, TvData &video)
{
    const std::uint8_t *first = Sequence(frame, size, 0);
    if (!first || !HasSourceControl(first))
        return false;
    const bool wide = IsWide(frame, size);
    ReadRecordingDate(frame, size, video);
    ReadTimecode(frame, size, video);
    bool changed = false;
    if (dvType == 1) {
        const std::uint8_t standard = frame[3] == 0xBF   ? StandardPAL
                                      : frame[3] == 0x3F ? StandardNTSC
                                                         : StandardUnknown;
        if (standard != video.Standard) {
            video.Standard = standard;
            changed = true;
            if (standard == StandardPAL) {
                video.Width = 720;
                video.Height = 576;
                video.FrameRate = 25;
            } else if (standard == StandardNTSC) {
                video.Width = 720;
                video.Height = 480;
                video.FrameRate = 30000.0 / 1001;
            }
        }
    }
    const std::uint8_t aspect = wide ? Aspect16x9 : Aspect4x3;
    if (aspect != video.Aspect) {
        video.Aspect = aspect;
        changed = true;
    }
    if (changed) {
        video.Description = dvType == 1 ? "DV type1 " : "DV type2 ";
        video.Description += video.Standard == StandardPAL    ? "Pal "
                             : video.Standard == StandardNTSC ? "NTSC "
                                                              : "";
        video.Description += video.Aspect == Aspect16x9 ? " (16x9) " : " (4x3) ";
    }
    return changed;
}

bool AnalyseDvAudio(const std::uint8_t *frame, std::size_t size, TaData &audio)
{
    const std::uint8_t *first = Sequence(frame, size, 0);
    if (!first || !HasSourceControl(first))
        return false;
    int rate = -1, bits = -1;
    if (first[4323] == 0x50) {
        const int rateCode = (first[4327] >> 3) & 7;
        rate = rateCode == 0 ? 48000 : rateCode == 1 ? 44100 : rateCode == 2 ? 32000 : 0;
        const int quantisation = first[4327] & 7;
        bits = quantisation == 0 ? 16 : quantisation == 1 ? 12 : 0;
    }
    if (rate == audio.SampleRate && bits == audio.BitsPerSample)
        return false;
    audio.SampleRate = rate;
    audio.BitsPerSample = bits;
    audio.MajorType = Audio;
    audio.SubType = FourCCGuid(1);
    audio.FormatType = WaveFormatEx;
    audio.Description = "DV " + QByteArray::number(rate) + "Hz " + QByteArray::number(bits) + "bits stéréo";
    return true;
}
