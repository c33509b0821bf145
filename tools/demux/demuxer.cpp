#include "demuxer.h"

#include <climits>
#include <cstdio>
#include <memory>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "annexb.h"
#include "audiofitter.h"
#include "clipsource.h"
#include "cliplist.h"
#include "outputfile.h"

namespace demux {

namespace {

constexpr AVRational kTicks{1, static_cast<int>(kTicksPerSecond)};
constexpr int64_t kNoPts = INT64_MIN;

struct TPacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

std::string Seconds(int64_t ticks) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", static_cast<double>(ticks) / kTicksPerSecond);
  return text;
}

// The time one picture lasts: the stream's time stamp grid, as probed.
int64_t PictureTicks(const AVStream* video) {
  for (AVRational rate : {video->r_frame_rate, video->avg_frame_rate})
    if (rate.num > 0 && rate.den > 0) return av_rescale_q(1, av_inv_q(rate), kTicks);
  return 0;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder == ".") return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

TExitStatus TDemuxer::Run(const std::vector<std::string>& clips, const std::string& folder) {
  FResults.clear();
  FDoneBytes = FTotalBytes = 0;
  if (clips.empty()) {
    FConsole.Error("", "no clip to demux");
    return esError;
  }
  const std::string base = StreamBaseOf(clips.front());
  if (base.empty()) {
    FConsole.Error(clips.front(), "the file name is too short to name the streams after it");
    return esError;
  }
  if (!CheckClips(clips)) return esError;
  std::string error;
  FSilentFrame = MakeSilentAc3Frame(FDiscAudio, error);
  if (FSilentFrame.empty()) {
    FConsole.Error("", error);
    return esError;
  }

  TOutputFile video, audio;
  if (!video.Open(JoinPath(folder, base + ".h264")) || !audio.Open(JoinPath(folder, base + ".ac3"))) {
    FConsole.Error(video.Error().empty() ? audio.Path() : video.Path(),
                   video.Error().empty() ? audio.Error() : video.Error());
    return esError;
  }
  TAudioFitter fitter(FDiscAudio.SampleRate);
  FConsole.Progress(0);
  for (const std::string& clip : clips)
    if (!DemuxClip(clip, video, audio, fitter)) return esError;

  if (!video.Commit()) {
    FConsole.Error(video.Path(), video.Error());
    return esError;
  }
  if (!audio.Commit()) {
    FConsole.Error(audio.Path(), audio.Error());
    unlink(video.Path().c_str());  // never leave one stream without the other
    return esError;
  }
  FConsole.Progress(100);

  int64_t pictures = 0, audioFrames = 0, silent = 0;
  for (const TClipResult& r : FResults) {
    pictures += r.Pictures;
    audioFrames += r.AudioFrames + r.SilentFrames;
    silent += r.SilentFrames;
  }
  FConsole.Note("Wrote " + video.Path() + " (" + std::to_string(pictures) + " pictures, " +
                Seconds(fitter.VideoEndTicks()) + ") and " + audio.Path() + " (" +
                std::to_string(audioFrames) + " AC-3 frames, " + std::to_string(silent) + " of them silent).");
  return FConsole.Status();
}

bool TDemuxer::CheckClips(const std::vector<std::string>& clips) {
  bool ok = true;
  std::string audioSource;
  for (const std::string& clip : clips) {
    TClipSource source;
    if (!source.Open(clip)) {
      FConsole.Error(clip, source.Error());
      ok = false;
      continue;
    }
    FTotalBytes += source.FileSize();
    if (!source.HasAudio()) continue;
    if (audioSource.empty()) {
      FDiscAudio = source.AudioFormat();
      audioSource = clip;
    } else if (!source.AudioFormat().SameShape(FDiscAudio)) {
      FConsole.Error(clip, "its audio (" + source.AudioFormat().Describe() + ") differs from that of " +
                               audioSource + " (" + FDiscAudio.Describe() +
                               "); the clips of one disc must share one audio format");
      ok = false;
    }
  }
  return ok;
}

bool TDemuxer::DemuxClip(const std::string& path, TOutputFile& video, TOutputFile& audio,
                         TAudioFitter& fitter) {
  TClipSource source;
  if (!source.Open(path)) {
    FConsole.Error(path, source.Error());
    return false;
  }
  TClipResult result;
  result.Path = path;
  std::vector<TAudioFrame> audioFrames;
  int64_t firstPts = kNoPts, lastPts = kNoPts;
  if (!ReadPackets(source, video, result, audioFrames, firstPts, lastPts)) return false;

  if (result.Pictures == 0 || firstPts == kNoPts)
    FConsole.Warning(path, "no picture with a time stamp could be read; the clip adds no time");
  else
    result.VideoDuration = lastPts - firstPts + PictureTicks(source.Video());
  if (source.EndsInsidePacket())
    FConsole.Warning(path, "the clip is cut short (it ends inside a transport packet); its readable part is used");

  fitter.BeginClip(firstPts == kNoPts ? 0 : firstPts, result.VideoDuration);
  if (!WriteAudio(audioFrames, audio, fitter, result)) return false;
  if (!source.HasAudio() && result.VideoDuration > 0)
    FConsole.Note(path + ": no audio, " + Seconds(result.VideoDuration) + " of silence written");
  FDoneBytes += source.FileSize();
  FResults.push_back(result);
  return true;
}

bool TDemuxer::ReadPackets(TClipSource& source, TOutputFile& video, TClipResult& result,
                           std::vector<TAudioFrame>& audioFrames, int64_t& firstPts, int64_t& lastPts) {
  std::unique_ptr<AVPacket, TPacketFree> packet(av_packet_alloc());
  const AVRational videoBase = source.Video()->time_base;
  const AVRational audioBase = source.HasAudio() ? source.Audio()->time_base : kTicks;
  int damaged = 0;
  for (;;) {
    int status = source.Read(packet.get());
    if (status == AVERROR_EOF) break;
    if (status < 0) {
      FConsole.Warning(result.Path, "read error, the rest of the clip is skipped: " + AvError(status));
      break;
    }
    if (packet->flags & AV_PKT_FLAG_CORRUPT) ++damaged;
    if (packet->stream_index == source.VideoIndex()) {
      // Every clip must start with its parameter sets so that the decoder
      // can switch to it at the join.
      if (result.Pictures == 0 && !HasParameterSetsBeforeFirstPicture(packet->data, packet->size) &&
          StartsWithStartCode(source.VideoExtradata(), source.VideoExtradataSize()))
        video.Write(source.VideoExtradata(), source.VideoExtradataSize());
      if (!video.Write(packet->data, packet->size)) {
        FConsole.Error(video.Path(), video.Error());
        return false;
      }
      ++result.Pictures;
      if (packet->pts != AV_NOPTS_VALUE) {
        int64_t pts = av_rescale_q(packet->pts, videoBase, kTicks);
        if (firstPts == kNoPts || pts < firstPts) firstPts = pts;
        if (lastPts == kNoPts || pts > lastPts) lastPts = pts;
      }
    } else if (packet->stream_index == source.AudioIndex() && packet->size > 0) {
      int64_t pts = packet->pts == AV_NOPTS_VALUE ? kNoPts : av_rescale_q(packet->pts, audioBase, kTicks);
      audioFrames.push_back({pts, std::vector<uint8_t>(packet->data, packet->data + packet->size)});
    }
    av_packet_unref(packet.get());
    ShowProgress(source.Position());
  }
  if (damaged > 0)
    FConsole.Warning(result.Path, std::to_string(damaged) + " damaged packet(s) were written as they are");
  return true;
}

bool TDemuxer::WriteAudio(const std::vector<TAudioFrame>& frames, TOutputFile& audio, TAudioFitter& fitter,
                          TClipResult& result) {
  for (const TAudioFrame& frame : frames) {
    TAudioFitter::TPlacement placement =
        fitter.Place(frame.Pts == kNoPts ? std::nullopt : std::optional<int64_t>(frame.Pts));
    if (!WriteSilence(placement.SilentBefore, audio)) return false;
    result.SilentFrames += placement.SilentBefore;
    if (!placement.Keep) {
      ++result.DroppedFrames;
      continue;
    }
    if (!audio.Write(frame.Data.data(), frame.Data.size())) {
      FConsole.Error(audio.Path(), audio.Error());
      return false;
    }
    ++result.AudioFrames;
  }
  int tail = fitter.FinishClip();
  result.SilentFrames += tail;
  return WriteSilence(tail, audio);
}

bool TDemuxer::WriteSilence(int count, TOutputFile& audio) {
  for (int i = 0; i < count; ++i)
    if (!audio.Write(FSilentFrame.data(), FSilentFrame.size())) {
      FConsole.Error(audio.Path(), audio.Error());
      return false;
    }
  return true;
}

void TDemuxer::ShowProgress(uint64_t clipPosition) {
  if (FTotalBytes == 0) return;
  FConsole.Progress(static_cast<int>((FDoneBytes + clipPosition) * 100 / FTotalBytes));
}

}  // namespace demux
