#include "tools/demux/demuxer.h"

#include <algorithm>
#include <cstdio>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "tools/demux/annexbscan.h"
#include "tools/demux/audiofitter.h"
#include "tools/demux/cliplist.h"
#include "tools/common/outputfile.h"
#include "media/cliptimeline.h"
#include "media/cliptimes.h"

namespace demux {

namespace {

constexpr AVRational kTicks {1, static_cast<int>(kTicksPerSecond)};
constexpr char kStage[] = "Demuxing";

struct TPacketFree
{
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};

std::string AvError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

std::string Seconds(int64_t ticks)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", static_cast<double>(ticks) / kTicksPerSecond);
    return text;
}

// A clip's streams as the probe found them, for the detail output.
std::string StreamsText(const std::string &path, const TClipFacts &facts)
{
    std::string text = path + ": " + std::to_string(facts.FileSize) + " bytes, H.264 on PID "
                       + std::to_string(facts.VideoPid) + ", a picture every " + Seconds(facts.PictureTicks)
                       + ", ";
    if (!facts.HasAudio())
        return text + "no audio";
    return text + avcodec_get_name(facts.AudioCodec) + " " + facts.Audio.Describe() + " on PID "
           + std::to_string(facts.AudioPid) + (facts.ConvertAudio ? ", to be converted" : "");
}

// Where a clip went on the joined time lines, for the detail output.
std::string JoinText(const TClipResult &result, int64_t firstPts, int64_t joinedAt, int jumps)
{
    return result.Path + ": " + std::to_string(result.Pictures) + " pictures from time stamp "
           + Seconds(firstPts) + ", joined at " + Seconds(joinedAt) + " for " + Seconds(result.VideoDuration)
           + ", " + std::to_string(jumps) + " time stamp jump(s); AC-3 frames: "
           + std::to_string(result.AudioFrames) + " kept, " + std::to_string(result.SilentFrames)
           + " silent, " + std::to_string(result.DroppedFrames) + " dropped";
}

std::string JoinPath(const std::string &folder, const std::string &name)
{
    if (folder.empty() || folder == ".")
        return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

bool TDemuxer::Run(const std::vector<std::string> &clips, const std::string &folder)
{
    FResults.clear();
    FDoneBytes = FTotalBytes = 0;
    if (clips.empty()) {
        FConsole.Error("no clip to demux");
        return false;
    }
    const std::string base = StreamBaseOf(clips.front());
    if (base.empty()) {
        FConsole.Error(clips.front(), "the file name is too short to name the streams after it");
        return false;
    }
    if (!CheckClips(clips))
        return false;
    std::string error;
    FSilentFrame = MakeSilentAc3Frame(FDiscAudio, error);
    if (FSilentFrame.empty()) {
        FConsole.Error(error);
        return false;
    }

    TOutputFile video, audio;
    if (!video.Open(JoinPath(folder, base + ".h264")) || !audio.Open(JoinPath(folder, base + ".ac3"))) {
        FConsole.Error(video.Error().empty() ? audio.Path() : video.Path(),
                       video.Error().empty() ? audio.Error() : video.Error());
        return false;
    }
    TAudioFitter fitter(FDiscAudio.SampleRate);
    FConsole.Progress(kStage, 0);
    for (size_t i = 0; i < clips.size(); ++i)
        if (!DemuxClip(clips[i], FFacts[i], video, audio, fitter))
            return false;

    if (!PublishStreams(video, audio))
        return false;
    FConsole.Progress(kStage, 100);
    ReportWritten(video, audio, fitter.VideoEndTicks());
    return true;
}

bool TDemuxer::PublishStreams(TOutputFile &video, TOutputFile &audio)
{
    // Both streams are complete on disc before either takes its name, so a
    // failure leaves the streams of an earlier run as they were.
    for (TOutputFile *file : {&video, &audio})
        if (!file->Finish()) {
            FConsole.Error(file->Path(), file->Error());
            return false;
        }
    if (!TOutputFile::PublishTogether({&video, &audio})) {
        const TOutputFile &failed = video.Error().empty() ? audio : video;
        FConsole.Error(failed.Path(), failed.Error());
        return false;
    }
    return true;
}

void TDemuxer::ReportWritten(const TOutputFile &video, const TOutputFile &audio, int64_t duration)
{
    TClipResult all;
    for (const TClipResult &r : FResults) {
        all.Pictures += r.Pictures;
        all.AudioFrames += r.AudioFrames;
        all.SilentFrames += r.SilentFrames;
        all.DroppedFrames += r.DroppedFrames;
    }
    FConsole.Note("Wrote " + video.Path() + " (" + std::to_string(all.Pictures) + " pictures, "
                  + Seconds(duration) + ") and " + audio.Path() + " ("
                  + std::to_string(all.AudioFrames + all.SilentFrames) + " AC-3 frames, "
                  + std::to_string(all.SilentFrames) + " of them silent; " + std::to_string(all.DroppedFrames)
                  + " frames outside the pictures left out).");
}

bool TDemuxer::CheckClips(const std::vector<std::string> &clips)
{
    bool ok = true;
    bool discAudioKnown = false;
    FFacts.clear();
    for (const std::string &clip : clips) {
        TClipSource source;
        if (!source.Probe(clip)) {
            FConsole.Error(clip, source.Error());
            ok = false;
            continue;
        }
        FFacts.push_back(source.Facts());
        TClipFacts &facts = FFacts.back();
        FTotalBytes += facts.FileSize;
        if (!facts.HasAudio())
            continue;
        // The first clip with audio sets the disc's format; audio in another
        // one is re-encoded into it.
        if (!discAudioKnown) {
            FDiscAudio = DiscAudioFormatOf(facts);
            discAudioKnown = true;
        }
        facts.ConvertAudio = NeedsConversion(facts, FDiscAudio);
    }
    for (size_t i = 0; ok && i < clips.size(); ++i)
        FConsole.Debug(StreamsText(clips[i], FFacts[i]));
    return ok;
}

bool TDemuxer::DemuxClip(const std::string &path, const TClipFacts &facts, TOutputFile &video,
                         TOutputFile &audio, TAudioFitter &fitter)
{
    TClipSource source;
    if (!source.Stream(path, facts)) {
        FConsole.Error(path, source.Error());
        return false;
    }
    TClipResult result;
    result.Path = path;
    FClipAudio.Clear();
    FClipPts.clear();
    if (facts.ConvertAudio && !FConverter.Open(facts.AudioCodec, FDiscAudio)) {
        FConsole.Error(path, FConverter.Error());
        return false;
    }
    TClipTimeline timeline(facts.PictureTicks);
    if (!ReadPackets(source, timeline, video, result))
        return false;
    if (facts.ConvertAudio && !FinishConversion(path, facts))
        return false;
    if (result.Pictures == 0) {
        FConsole.Error(path, "no picture could be read from its video stream");
        return false;
    }
    const int64_t firstPts = FClipPts.empty() ? 0 : *std::min_element(FClipPts.begin(), FClipPts.end());
    result.VideoDuration = ClipDuration(FClipPts, result.Pictures, facts.PictureTicks);
    if (result.VideoDuration == 0) {
        FConsole.Error(path, "its pictures carry no time stamps, so how long they last is unknown");
        return false;
    }
    if (timeline.Jumps() > 0)
        FConsole.Warning(path,
                         "the time stamps of its pictures jump " + std::to_string(timeline.Jumps())
                             + " time(s), first from " + Seconds(timeline.FirstJumpFrom()) + " to "
                             + Seconds(timeline.FirstJumpTo())
                             + " (clips joined by copying, or damage); the pictures are kept in file order");
    if (facts.EndsInsidePacket())
        FConsole.Warning(
            path, "the clip is cut short (it ends inside a transport packet); its readable part is used");

    fitter.BeginClip(firstPts, result.VideoDuration);
    if (!WriteAudio(audio, fitter, result))
        return false;
    if (FClipAudio.SkippedBytes() > 0)
        FConsole.Warning(path,
                         std::to_string(FClipAudio.SkippedBytes()) + " bytes of damaged audio were left out");
    if (facts.AudioUnreadable)
        FConsole.Warning(
            path,
            "no frame of its AC-3 audio could be read at the start of the clip; silence is written instead");
    else if (!facts.HasAudio() && result.VideoDuration > 0)
        FConsole.Note(path + ": no audio, " + Seconds(result.VideoDuration) + " of silence written");
    FConsole.Debug(
        JoinText(result, firstPts, fitter.VideoEndTicks() - result.VideoDuration, timeline.Jumps()));
    FDoneBytes += facts.FileSize;
    FResults.push_back(result);
    return true;
}

bool TDemuxer::ReadPackets(TClipSource &source, TClipTimeline &timeline, TOutputFile &video,
                           TClipResult &result)
{
    std::unique_ptr<AVPacket, TPacketFree> packet(av_packet_alloc());
    const AVRational videoBase = source.Video()->time_base;
    const AVRational audioBase = source.Facts().HasAudio() ? source.Audio()->time_base : kTicks;
    const std::vector<uint8_t> &parameterSets = source.Facts().ParameterSets;
    TPictureCounter pictures;
    pictures.Add(parameterSets.data(), parameterSets.size());
    bool anyVideo = false;
    int damaged = 0;
    for (;;) {
        int status = source.Read(packet.get());
        if (status == AVERROR_EOF)
            break;
        if (!source.Error().empty()) {
            FConsole.Error(result.Path, source.Error());
            return false;
        }
        if (status < 0) {
            FConsole.Warning(result.Path, "read error, the rest of the clip is skipped: " + AvError(status));
            break;
        }
        if (packet->flags & AV_PKT_FLAG_CORRUPT)
            ++damaged;
        if (packet->stream_index == source.VideoIndex()) {
            // Every clip must start with its parameter sets so that the decoder
            // can switch to it at the join.
            if (!anyVideo && !HasParameterSetsBeforeFirstPicture(packet->data, packet->size)
                && StartsWithStartCode(parameterSets.data(), parameterSets.size()))
                video.Write(parameterSets.data(), parameterSets.size());
            if (!video.Write(packet->data, packet->size)) {
                FConsole.Error(video.Path(), video.Error());
                return false;
            }
            anyVideo = true;
            pictures.Add(packet->data, packet->size);
            if (packet->pts != AV_NOPTS_VALUE) {
                const int64_t pts = av_rescale_q(packet->pts, videoBase, kTicks);
                const int64_t dts =
                    packet->dts != AV_NOPTS_VALUE ? av_rescale_q(packet->dts, videoBase, kTicks) : pts;
                FClipPts.push_back(timeline.Video(pts, dts));
            }
        } else if (packet->stream_index == source.AudioIndex()) {
            std::optional<int64_t> pts;
            if (packet->pts != AV_NOPTS_VALUE)
                pts = timeline.Audio(av_rescale_q(packet->pts, audioBase, kTicks));
            if (!source.Facts().ConvertAudio) {
                FClipAudio.AddPes(packet->data, packet->size, pts);
            } else if (!FConverter.Add(packet->data, packet->size, pts, FClipAudio)) {
                FConsole.Error(result.Path, FConverter.Error());
                return false;
            }
        }
        av_packet_unref(packet.get());
        ShowProgress(source.Position());
    }
    // Pictures none of which has a readable slice header are damage (or no
    // H.264 at all): no player could show them.
    result.Pictures = pictures.ReadableFrames() > 0 ? pictures.Frames() : 0;
    if (damaged > 0)
        FConsole.Warning(result.Path,
                         std::to_string(damaged) + " damaged packet(s) were written as they are");
    if (source.ProgramChanges() > 0)
        FConsole.Warning(result.Path, "its program changes " + std::to_string(source.ProgramChanges())
                                          + " time(s) midway (clips joined by copying); the video and audio "
                                            "of each new program carry on the clip");
    return true;
}

bool TDemuxer::FinishConversion(const std::string &path, const TClipFacts &facts)
{
    if (!FConverter.Finish(FClipAudio)) {
        FConsole.Error(path, FConverter.Error());
        return false;
    }
    if (FConverter.DamagedPackets() > 0)
        FConsole.Warning(path, std::to_string(FConverter.DamagedPackets())
                                   + " damaged audio packet(s) could not be decoded");
    FConsole.Warning(path, std::string("its audio (") + avcodec_get_name(facts.AudioCodec) + ", "
                               + facts.Audio.Describe() + ") was converted to the disc's AC-3 ("
                               + FDiscAudio.Describe() + ", " + std::to_string(FDiscAudio.BitRate / 1000)
                               + " kb/s)");
    return true;
}

bool TDemuxer::WriteAudio(TOutputFile &audio, TAudioFitter &fitter, TClipResult &result)
{
    for (const TAc3Stream::TFrame &frame : FClipAudio.Frames(FDiscAudio.SampleRate)) {
        TAudioFitter::TPlacement placement = fitter.Place(frame.Pts);
        if (!WriteSilence(placement.SilentBefore, audio))
            return false;
        result.SilentFrames += placement.SilentBefore;
        if (!placement.Keep) {
            ++result.DroppedFrames;
            continue;
        }
        if (!audio.Write(FClipAudio.Data() + frame.Offset, frame.Size)) {
            FConsole.Error(audio.Path(), audio.Error());
            return false;
        }
        ++result.AudioFrames;
    }
    int tail = fitter.FinishClip();
    result.SilentFrames += tail;
    return WriteSilence(tail, audio);
}

bool TDemuxer::WriteSilence(int count, TOutputFile &audio)
{
    for (int i = 0; i < count; ++i)
        if (!audio.Write(FSilentFrame.data(), FSilentFrame.size())) {
            FConsole.Error(audio.Path(), audio.Error());
            return false;
        }
    return true;
}

void TDemuxer::ShowProgress(uint64_t clipPosition)
{
    FConsole.Progress(kStage, FDoneBytes + clipPosition, FTotalBytes);
}

}  // namespace demux
