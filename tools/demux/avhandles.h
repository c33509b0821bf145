// Owning handles for the FFmpeg objects the audio code makes.
#pragma once

#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

namespace demux {

struct TAvDelete
{
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
    void operator()(AVCodecParserContext *p) const { av_parser_close(p); }
    void operator()(AVFrame *f) const { av_frame_free(&f); }
    void operator()(AVPacket *p) const { av_packet_free(&p); }
    void operator()(SwrContext *s) const { swr_free(&s); }
    void operator()(AVAudioFifo *f) const { av_audio_fifo_free(f); }
};

template <class T> using TAvPtr = std::unique_ptr<T, TAvDelete>;

// FFmpeg's text for an AVERROR code.
std::string AvErrorText(int code);

}  // namespace demux
