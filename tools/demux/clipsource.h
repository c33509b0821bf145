// One camcorder clip read with libavformat. Probe() checks that it is an
// MPEG transport stream with H.264 video, picks its AC-3 or LPCM audio and learns
// what the joining needs; Stream() then reopens it for the fast pass that
// hands out whole PES packets without FFmpeg's parsers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/codec_id.h>
}

#include "tools/demux/silentframe.h"

struct AVFormatContext;
struct AVPacket;
struct AVStream;

namespace demux {

// What the probe learnt about a clip.
struct TClipFacts
{
    uint64_t FileSize = 0;
    int PacketSize = 0;
    int VideoPid = -1;
    int AudioPid = -1;  // -1: no usable AC-3 or LPCM audio
    bool AudioUnreadable = false;  // an AC-3 stream whose format the probe never saw
    AVCodecID AudioCodec = AV_CODEC_ID_NONE;  // AC-3, or LPCM as on Blu-ray
    TAudioFormat Audio;
    bool ConvertAudio = false;  // set by the demuxer: re-encoded into the disc's format
    int64_t PictureTicks = 0;  // one picture as probed, 0 if unknown
    std::vector<uint8_t> ParameterSets;  // Annex B, may be empty

    // The file ends inside a transport packet: it was cut short.
    bool EndsInsidePacket() const { return PacketSize > 0 && FileSize % PacketSize != 0; }
    bool HasAudio() const { return AudioPid >= 0; }
};

class TClipSource
{
public:
    TClipSource() = default;
    ~TClipSource();
    TClipSource(const TClipSource &) = delete;
    TClipSource &operator=(const TClipSource &) = delete;

    // Both false with Error() set when the clip cannot be demuxed.
    bool Probe(const std::string &path);
    bool Stream(const std::string &path, const TClipFacts &facts);
    void Close();

    const std::string &Error() const { return FError; }
    const TClipFacts &Facts() const { return FFacts; }
    int VideoIndex() const { return FVideoIndex; }
    int AudioIndex() const { return FAudioIndex; }
    AVStream *Video() const;
    AVStream *Audio() const;

    // 0 for a packet, AVERROR_EOF at the end, another AVERROR on failure
    // (with Error() set when the clip cannot be followed further).
    // Streams that appear midway come from new program tables: clips of
    // another camera or setting joined by copying. The first H.264 stream
    // and the first audio stream of the clip's audio format among them
    // carry on the clip's video and audio (VideoIndex() and AudioIndex()
    // change); audio in another format is refused.
    int Read(AVPacket *packet);
    int ProgramChanges() const { return FProgramChanges; }
    uint64_t Position() const;  // bytes of the file read so far

private:
    bool Fail(const std::string &text);
    bool CheckFile(const std::string &path);
    bool OpenTs(const std::string &path, int flags);
    bool FindStreams();
    void DiscardOtherStreams();
    bool FollowNewStream(AVStream *stream);
    void QueueLastPes(int pid, int streamIndex, uint64_t end);

    AVFormatContext *FContext = nullptr;
    std::string FError;
    TClipFacts FFacts;
    int FVideoIndex = -1;
    int FAudioIndex = -1;
    unsigned FStreamsSeen = 0;  // streams known so far; more appear with new program tables
    int FProgramChanges = 0;
    std::string FPath;
    std::deque<AVPacket *> FQueued;  // handed out by Read before reading on
};

}  // namespace demux
