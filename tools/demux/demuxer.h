// Joins the clips of a disc into one H.264 stream and one AC-3 stream in a
// folder, keeping audio and video in step at every join.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/demux/ac3stream.h"
#include "tools/demux/audioconverter.h"
#include "tools/demux/clipsource.h"
#include "tools/common/toolconsole.h"
#include "tools/demux/silentframe.h"

class TClipTimeline;
class TOutputFile;

namespace demux {

class TAudioFitter;

// What was written for one clip, on the joined time lines.
struct TClipResult
{
    std::string Path;
    int64_t Pictures = 0;  // frames written (a field pair counts once)
    int64_t VideoDuration = 0;  // in 90 kHz ticks
    int64_t AudioFrames = 0;  // AC-3 frames of the clip written
    int64_t SilentFrames = 0;  // silent frames added for the clip
    int64_t DroppedFrames = 0;  // frames outside the clip's video
};

class TDemuxer
{
public:
    explicit TDemuxer(TConsole &console) : FConsole(console) { }

    // Writes {folder}/{StreamBase}.h264 and .ac3; false when it failed, as
    // the console was told. Nothing is left under those names then.
    bool Run(const std::vector<std::string> &clips, const std::string &folder);
    // What the last run wrote for each clip, in order.
    const std::vector<TClipResult> &Results() const { return FResults; }

private:
    bool CheckClips(const std::vector<std::string> &clips);
    bool DemuxClip(const std::string &path, const TClipFacts &facts, TOutputFile &video, TOutputFile &audio,
                   TAudioFitter &fitter);
    bool ReadPackets(TClipSource &source, TClipTimeline &timeline, TOutputFile &video, TClipResult &result);
    bool FinishConversion(const std::string &path, const TClipFacts &facts);
    bool WriteAudio(TOutputFile &audio, TAudioFitter &fitter, TClipResult &result);
    bool WriteSilence(int count, TOutputFile &audio);
    bool PublishStreams(TOutputFile &video, TOutputFile &audio);
    void ReportWritten(const TOutputFile &video, const TOutputFile &audio, int64_t duration);
    void ShowProgress(uint64_t clipPosition);

    TConsole &FConsole;
    TAudioFormat FDiscAudio;
    std::vector<uint8_t> FSilentFrame;
    std::vector<TClipFacts> FFacts;  // of each clip, from the probe
    std::vector<TClipResult> FResults;
    // The clip being demuxed: its audio, and its picture time stamps.
    TAc3Stream FClipAudio;
    TAudioConverter FConverter;  // for a clip whose audio is re-encoded
    std::vector<int64_t> FClipPts;
    uint64_t FTotalBytes = 0;
    uint64_t FDoneBytes = 0;  // bytes of the clips already demuxed
};

}  // namespace demux
