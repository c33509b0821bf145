#include "tools/demux/clipsource.h"

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
// Read back for the last PES packet of a stream that ends midway: more than
// any picture takes.
constexpr uint64_t kLastPesWindow = 16 << 20;

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
    for (AVPacket *packet : FQueued)
        av_packet_free(&packet);
    FQueued.clear();
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
    FPath = path;
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
    FStreamsSeen = FContext->nb_streams;
    FProgramChanges = 0;
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
    if (FQueued.empty()) {
        const int status = av_read_frame(FContext, packet);
        if (status < 0 || FStreamsSeen == FContext->nb_streams)
            return status;
        // New program tables: the streams they bring carry on the clip. The
        // last PES packet of each stream they replace is still held by
        // FFmpeg, which hands one out only when the next one of its PID
        // begins; it goes out first, read from the file.
        const int videoPid = Video()->id, videoIndex = FVideoIndex;
        const int audioPid = FAudioIndex >= 0 ? Audio()->id : -1, audioIndex = FAudioIndex;
        const uint64_t end = Position();
        for (; FStreamsSeen < FContext->nb_streams; ++FStreamsSeen)
            if (!FollowNewStream(FContext->streams[FStreamsSeen])) {
                av_packet_unref(packet);
                return AVERROR_INVALIDDATA;
            }
        if (FVideoIndex != videoIndex)
            QueueLastPes(videoPid, FVideoIndex, end);
        if (FAudioIndex != audioIndex)
            QueueLastPes(audioPid, FAudioIndex, end);
        AVPacket *current = av_packet_alloc();
        av_packet_move_ref(current, packet);
        FQueued.push_back(current);
    }
    AVPacket *next = FQueued.front();
    FQueued.pop_front();
    av_packet_move_ref(packet, next);
    av_packet_free(&next);
    return 0;
}

// The last PES packet of `pid` before byte `end` of the file, queued as a
// packet of the stream `streamIndex` (its time base is the same 90 kHz).
void TClipSource::QueueLastPes(int pid, int streamIndex, uint64_t end)
{
    const uint64_t start = end > kLastPesWindow ? end - kLastPesWindow : 0;
    std::vector<uint8_t> data(static_cast<size_t>(end - start));
    std::ifstream file(FPath, std::ios::binary);
    file.seekg(static_cast<std::streamoff>(start));
    file.read(reinterpret_cast<char *>(data.data()), static_cast<std::streamsize>(data.size()));
    data.resize(static_cast<size_t>(file.gcount()));
    std::vector<uint8_t> pes;
    TTsPacketReader reader(data.data(), data.size(), FFacts.PacketSize);
    TTsPacket ts;
    while (reader.Next(ts))
        if (ts.Pid == pid && (ts.UnitStart || !pes.empty())) {
            if (ts.UnitStart)
                pes.clear();
            pes.insert(pes.end(), ts.Payload, ts.Payload + ts.PayloadSize);
        }
    int headerEnd = 0;
    const int size = static_cast<int>(pes.size());
    const int64_t pts = PesPts(pes.data(), size, headerEnd);
    AVPacket *packet = av_packet_alloc();
    if (headerEnd >= size || !packet || av_new_packet(packet, size - headerEnd) < 0) {
        av_packet_free(&packet);
        return;
    }
    std::memcpy(packet->data, pes.data() + headerEnd, static_cast<size_t>(size - headerEnd));
    packet->stream_index = streamIndex;
    packet->pts = pts >= 0 ? pts : AV_NOPTS_VALUE;
    packet->dts = pts >= 0 ? PesDts(pes.data(), size) : AV_NOPTS_VALUE;
    FQueued.push_back(packet);
}

bool TClipSource::FollowNewStream(AVStream *stream)
{
    const AVCodecParameters *par = stream->codecpar;
    const int index = stream->index;
    const char *codec = avcodec_get_name(par->codec_id);
    if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
        if (par->codec_id != AV_CODEC_ID_H264) {
            FError = std::string("its program changes midway to ") + codec
                     + " video; such clips are not supported";
            return false;
        }
        Video()->discard = AVDISCARD_ALL;
        FVideoIndex = index;
        ++FProgramChanges;
        return true;
    }
    if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
        if (FAudioIndex < 0 || par->codec_id != FFacts.AudioCodec) {
            FError = std::string("its program changes midway to ") + codec + " audio, while its start has "
                     + (FAudioIndex < 0 ? "none" : avcodec_get_name(FFacts.AudioCodec))
                     + "; such clips are not supported";
            return false;
        }
        Audio()->discard = AVDISCARD_ALL;
        FAudioIndex = index;
        return true;
    }
    stream->discard = AVDISCARD_ALL;
    return true;
}

uint64_t TClipSource::Position() const
{
    int64_t at = FContext && FContext->pb ? avio_tell(FContext->pb) : 0;
    return at > 0 ? static_cast<uint64_t>(at) : 0;
}

}  // namespace demux
