#include "clipsource.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sys/stat.h>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "media/tspackets.h"

namespace demux {

namespace {

constexpr size_t kSyncCheckPackets = 8;

std::string AvError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// Channel layouts are kept in native order so that they copy by value.
AVChannelLayout PlainLayout(const AVChannelLayout &layout)
{
    AVChannelLayout plain {};
    if (layout.order == AV_CHANNEL_ORDER_NATIVE)
        plain = layout;
    else
        av_channel_layout_default(&plain, layout.nb_channels);
    return plain;
}

}  // namespace

TClipSource::~TClipSource()
{
    Close();
}

void TClipSource::Close()
{
    if (FContext)
        avformat_close_input(&FContext);
    FVideoIndex = FAudioIndex = -1;
}

bool TClipSource::Fail(const std::string &text)
{
    FError = text;
    Close();
    return false;
}

bool TClipSource::CheckFile(const std::string &path)
{
    struct stat st
    { };
    if (stat(path.c_str(), &st) != 0)
        return Fail(std::string("cannot open: ") + std::strerror(errno));
    FFacts.FileSize = static_cast<uint64_t>(st.st_size);
    if (FFacts.FileSize == 0)
        return Fail("the file is empty");
    std::vector<uint8_t> head(192 * kSyncCheckPackets);
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return Fail(std::string("cannot open: ") + std::strerror(errno));
    file.read(reinterpret_cast<char *>(head.data()), static_cast<std::streamsize>(head.size()));
    FFacts.PacketSize = TsPacketSizeOf(head.data(), static_cast<size_t>(file.gcount()));
    if (FFacts.PacketSize == 0)
        return Fail("not an MPEG transport stream (no sync bytes at the packet starts)");
    return true;
}

bool TClipSource::OpenTs(const std::string &path, int flags)
{
    FContext = avformat_alloc_context();
    if (!FContext)
        return Fail("out of memory");
    FContext->flags |= flags;
    int status = avformat_open_input(&FContext, path.c_str(), av_find_input_format("mpegts"), nullptr);
    if (status < 0)
        return Fail("cannot read the transport stream: " + AvError(status));
    return true;
}

bool TClipSource::Probe(const std::string &path)
{
    Close();
    FError.clear();
    FFacts = TClipFacts();
    if (!CheckFile(path) || !OpenTs(path, 0))
        return false;
    int status = avformat_find_stream_info(FContext, nullptr);
    if (status < 0)
        return Fail("cannot read the streams: " + AvError(status));
    return FindStreams();
}

bool TClipSource::FindStreams()
{
    int otherAudio = -1;
    for (unsigned i = 0; i < FContext->nb_streams; ++i) {
        const AVCodecParameters *par = FContext->streams[i]->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO && FVideoIndex < 0) {
            if (par->codec_id != AV_CODEC_ID_H264)
                return Fail(std::string("the video is ") + avcodec_get_name(par->codec_id) + ", not H.264");
            FVideoIndex = static_cast<int>(i);
        } else if (par->codec_type == AVMEDIA_TYPE_AUDIO && FAudioIndex < 0) {
            // An AC-3 stream whose first frame was never read carries no format.
            const bool usable = par->codec_id == AV_CODEC_ID_AC3 || par->codec_id == AV_CODEC_ID_PCM_BLURAY;
            if (usable && par->sample_rate > 0)
                FAudioIndex = static_cast<int>(i);
            else if (par->codec_id == AV_CODEC_ID_AC3)
                FFacts.AudioUnreadable = true;
            else if (!usable && otherAudio < 0)
                otherAudio = static_cast<int>(i);
        }
    }
    if (FVideoIndex < 0)
        return Fail("the clip has no video stream");
    if (FAudioIndex >= 0)
        FFacts.AudioUnreadable = false;
    if (FAudioIndex < 0 && otherAudio >= 0)
        return Fail(std::string("the audio is ")
                    + avcodec_get_name(FContext->streams[otherAudio]->codecpar->codec_id)
                    + ", neither AC-3 nor LPCM; such clips are not supported");
    const AVStream *video = Video();
    FFacts.VideoPid = video->id;
    for (AVRational rate : {video->r_frame_rate, video->avg_frame_rate})
        if (rate.num > 0 && rate.den > 0 && FFacts.PictureTicks == 0)
            FFacts.PictureTicks = av_rescale_q(1, av_inv_q(rate), AVRational {1, 90000});
    if (video->codecpar->extradata_size > 0)
        FFacts.ParameterSets.assign(video->codecpar->extradata,
                                    video->codecpar->extradata + video->codecpar->extradata_size);
    if (FAudioIndex >= 0) {
        const AVCodecParameters *par = Audio()->codecpar;
        FFacts.AudioPid = Audio()->id;
        FFacts.AudioCodec = par->codec_id;
        FFacts.Audio.SampleRate = par->sample_rate;
        FFacts.Audio.Layout = PlainLayout(par->ch_layout);
        FFacts.Audio.BitRate = par->bit_rate;
    }
    DiscardOtherStreams();
    return true;
}

bool TClipSource::Stream(const std::string &path, const TClipFacts &facts)
{
    Close();
    FError.clear();
    FFacts = facts;
    // Whole PES packets are all the joining needs; FFmpeg's parsers would
    // only cut them up again, at a cost.
    if (!OpenTs(path, AVFMT_FLAG_NOPARSE | AVFMT_FLAG_NOFILLIN))
        return false;
    for (unsigned i = 0; i < FContext->nb_streams; ++i) {
        if (FContext->streams[i]->id == facts.VideoPid && FVideoIndex < 0)
            FVideoIndex = static_cast<int>(i);
        if (FContext->streams[i]->id == facts.AudioPid && FAudioIndex < 0)
            FAudioIndex = static_cast<int>(i);
    }
    if (FVideoIndex < 0)
        return Fail("the video stream is no longer found (was the file changed?)");
    if (facts.HasAudio() && FAudioIndex < 0)
        return Fail("the audio stream is no longer found (was the file changed?)");
    DiscardOtherStreams();
    return true;
}

void TClipSource::DiscardOtherStreams()
{
    for (unsigned i = 0; i < FContext->nb_streams; ++i)
        if (static_cast<int>(i) != FVideoIndex && static_cast<int>(i) != FAudioIndex)
            FContext->streams[i]->discard = AVDISCARD_ALL;
}

AVStream *TClipSource::Video() const
{
    return FVideoIndex >= 0 ? FContext->streams[FVideoIndex] : nullptr;
}
AVStream *TClipSource::Audio() const
{
    return FAudioIndex >= 0 ? FContext->streams[FAudioIndex] : nullptr;
}

int TClipSource::Read(AVPacket *packet)
{
    return av_read_frame(FContext, packet);
}

uint64_t TClipSource::Position() const
{
    int64_t at = FContext && FContext->pb ? avio_tell(FContext->pb) : 0;
    return at > 0 ? static_cast<uint64_t>(at) : 0;
}

}  // namespace demux
