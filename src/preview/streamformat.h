// What the stream notifier reports about the streams it sees, and how it
// works that out: the video and audio report records, filled from a
// neutral media type when a stream starts and, where the type leaves
// details to the data, from the bytes of the samples (MPEG-2 sequence
// headers, DV frames). Pure functions over the records; no GStreamer.
#pragma once

#include "src/preview/mediatype.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

enum TAspect : std::uint8_t { Aspect4x3 = 0, Aspect16x9 = 1, AspectUnknown = 2 };
enum TStandard : std::uint8_t { StandardPAL = 0, StandardNTSC = 1, StandardUnknown = 2 };

struct TvData
{
    TGuid MajorType, SubType, FormatType;
    std::int32_t Width = 0, Height = 0;
    std::int32_t BitCount = 0;
    double FrameRate = 0;  // frames per second; 0 when unknown
    std::int64_t FrameDuration = 0;  // 100-ns units per frame
    QByteArray Description;
    QByteArray SizeText;
    QByteArray CodecName;
    std::uint8_t Aspect = AspectUnknown;
    std::uint8_t Standard = StandardUnknown;
    bool RecDateValid = false;
    double RecDateTime = 0;  // days since 1899-12-30, time as the fraction
    bool TimecodeValid = false;
    std::uint8_t Timecode[4] = {};  // hours, minutes, seconds, frames
    std::int32_t BitRate = 0;
};

struct TaData
{
    TGuid MajorType, SubType, FormatType;
    QByteArray CodecName;  // of the source stream, written by the media system
    std::int32_t Channels = 0;
    std::int32_t BitsPerSample = 0;
    std::int32_t SampleRate = 0;
    std::int32_t BitRate = 0;
    QByteArray Description;
};

// Aspect of a picture aspect X : Y: 4:3, 16:9 or unknown.
TAspect AspectOf(std::int32_t x, std::int32_t y);
// " (4x3)", " (16x9)" or "".
QByteArray AspectSuffix(std::uint8_t aspect);
// "1920x1080", then " - 25 fps" when frameRate > 0 (rounded to two
// decimals, shortest form, the user's decimal separator).
QByteArray SizeText(std::int32_t width, std::int32_t height, double frameRate);

// What the video interpretation of a starting stream found.
struct TVideoStart
{
    bool Posted = false;  // the video report was filled: post it
    bool Analyse = false;  // details come from the samples
};

// Fills the format part (reportFormat) and the picture part
// (reportPicture) of video from the first interpretation of type that
// matches: DV in a video-info block, MPEG-2 video, DV-info, video-info,
// video-info-2, MPEG-1 video.
TVideoStart StartVideoReport(const TMediaType &type, bool reportFormat, bool reportPicture, TvData &video);

// What the audio interpretation of a starting stream found.
struct TAudioStart
{
    bool Posted = false;
    bool Analyse = false;
};

// A wave-format block fills audio (codec name kept) and posts it; a
// DV-info block posts it unchanged and asks for sample analysis.
TAudioStart StartAudioReport(const TMediaType &type, TaData &audio);

// "DOLBY AC3 48000Hz 16bits  stéréo": codec, rate, bits or bit rate,
// channels.
QByteArray AudioDescription(const TaData &audio);

// Reads a sequence header at the very start of sample; true when the
// size, aspect or frame rate in video changed (the report is then due).
bool AnalyseMpeg2Header(const std::uint8_t *sample, std::size_t size, TvData &video);

// Reads the aspect, recording date, timecode and (type 1) TV standard of
// a DV frame; true when the standard or aspect changed.
bool AnalyseDvVideo(const std::uint8_t *frame, std::size_t size, int dvType, TvData &video);
// Reads the sampling of a DV frame's audio; true when it changed.
bool AnalyseDvAudio(const std::uint8_t *frame, std::size_t size, TaData &audio);
