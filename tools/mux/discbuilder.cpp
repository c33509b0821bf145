#include "tools/mux/discbuilder.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <ostream>
#include <stdexcept>

#include "tools/common/stopflag.h"
#include "tools/mux/audiostream.h"
#include "tools/mux/clipsummary.h"
#include "tools/mux/foldercommit.h"
#include "tools/mux/m2tsmuxer.h"
#include "tools/mux/muxmeta.h"
#include "tools/mux/muxfile.h"
#include "tools/mux/transportbuffer.h"
#include "tools/mux/videostream.h"

namespace fs = std::filesystem;

namespace {

constexpr double kDvdPlayerLimit = 24e6;

std::string ChapterText(uint64_t ms)
{
    char text[32];
    std::snprintf(
        text, sizeof text, "%02llu:%02llu:%02llu.%03llu", static_cast<unsigned long long>(ms / 3600000),
        static_cast<unsigned long long>(ms / 60000 % 60), static_cast<unsigned long long>(ms / 1000 % 60),
        static_cast<unsigned long long>(ms % 1000));
    return text;
}

EVideoFormat VideoFormat(const TH264Sps &sps)
{
    const bool interlaced = !sps.FrameMbsOnly;
    if (sps.Height > 720)
        return interlaced ? EVideoFormat::Interlaced1080 : EVideoFormat::Progressive1080;
    if (sps.Height > 576)
        return EVideoFormat::Progressive720;
    if (sps.Height > 480)
        return interlaced ? EVideoFormat::Interlaced576 : EVideoFormat::Progressive576;
    return interlaced ? EVideoFormat::Interlaced480 : EVideoFormat::Progressive480;
}

// 16:9 or 4:3, whichever the display aspect (the picture size times the
// sample aspect ratio, square samples when unspecified) is nearer to.
EAspectRatio DisplayAspect(const TH264Sps &sps)
{
    const bool sarGiven = sps.SarWidth && sps.SarHeight;
    const double sar = sarGiven ? double(sps.SarWidth) / sps.SarHeight : 1.0;
    const double aspect = sps.Height ? sps.Width * sar / sps.Height : 16.0 / 9;
    constexpr double kBetween = (4.0 / 3 + 16.0 / 9) / 2;
    return aspect >= kBetween ? EAspectRatio::Ratio16x9 : EAspectRatio::Ratio4x3;
}

TVideoAttributes VideoAttributes(const TH264Sps &sps, const TFrameRate &rate)
{
    TVideoAttributes a;
    a.Format = VideoFormat(sps);
    double fps = double(rate.Num) / rate.Den;
    struct
    {
        double Fps;
        EFrameRate Code;
    } codes[] = {{24000.0 / 1001, EFrameRate::Fps23_976},
                 {24, EFrameRate::Fps24},
                 {25, EFrameRate::Fps25},
                 {30000.0 / 1001, EFrameRate::Fps29_97},
                 {50, EFrameRate::Fps50},
                 {60000.0 / 1001, EFrameRate::Fps59_94}};
    for (const auto &c : codes)
        if (std::fabs(fps - c.Fps) < 0.01)
            a.Rate = c.Code;
    a.Aspect = DisplayAspect(sps);
    return a;
}

TAudioAttributes AudioAttributes(const TAc3Frame &frame)
{
    TAudioAttributes a;
    constexpr uint8_t kAcmodMono = 1, kAcmodStereo = 2;  // 0 is dual mono, shown as stereo
    a.Format = frame.Acmod == kAcmodMono                     ? EAudioFormat::Mono
               : (frame.Acmod <= kAcmodStereo && !frame.Lfe) ? EAudioFormat::Stereo
                                                             : EAudioFormat::MultiChannel;
    a.Rate = ESampleRate::Hz48000;
    return a;
}

TMuxSettings MuxSettings(const TMuxOptions &options)
{
    TMuxSettings settings;
    settings.PcrOnOwnPid = options.PcrOnOwnPid;
    settings.BlurayAudioPes = options.NewAudioPes;
    settings.VbvLenMs = options.VbvLenMs;
    return settings;
}

void MakeFolders(const fs::path &root)
{
    for (const char *sub : {"BDMV/PLAYLIST", "BDMV/CLIPINF", "BDMV/STREAM", "BDMV/BACKUP/PLAYLIST",
                            "BDMV/BACKUP/CLIPINF", "CERTIFICATE/BACKUP"})
        fs::create_directories(root / sub);
}

void WriteStructure(const fs::path &bdmv, const char *name, const std::vector<uint8_t> &data)
{
    ThrowIfStopRequested();
    WriteWholeFile((bdmv / name).string(), data);
    WriteWholeFile((bdmv / "BACKUP" / name).string(), data);
}

void WriteStructures(const fs::path &bdmv, const TClipSummary &clip)
{
    WriteStructure(bdmv, "index.bdmv", BuildIndexFile(clip));
    WriteStructure(bdmv, "MovieObject.bdmv", BuildMovieObjectFile(clip));
    WriteStructure(bdmv, "PLAYLIST/00000.mpls", BuildPlaylistFile(clip));
    WriteStructure(bdmv, "CLIPINF/00000.clpi", BuildClipInfoFile(clip));
}

fs::path MakeTempFolder(const fs::path &output)
{
    fs::path parent = output.parent_path().empty() ? fs::path(".") : output.parent_path();
    // The folders above the output are made first; when that fails, its
    // reason (a read-only file system, a folder the user cannot write) is
    // the one told, not the missing folder the next call would meet.
    std::error_code error;
    fs::create_directories(parent, error);
    if (error)
        throw std::runtime_error("cannot create the output folder \"" + output.string()
                                 + "\": " + error.message());
    std::string pattern = (parent / ("." + output.filename().string() + ".tsmuxer-XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data()))
        throw std::runtime_error("cannot create the output folder \"" + output.string()
                                 + "\": " + std::strerror(errno));
    return fs::path(buffer.data());
}

}  // namespace

void TDiscBuilder::RequestStop()
{
    ::RequestStop();
}

std::string NormaliseOutputFolder(std::string folder)
{
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\' || folder.back() == '"'))
        folder.pop_back();
    return folder;
}

void TDiscBuilder::Warn(const std::string &text)
{
    FErr << "warning: " << text << '\n';
    FWarned = true;
}

// Throws when the meta file lists two tracks of a kind, a track file that
// does not exist, or no video track.
TDiscBuilder::TTracks TDiscBuilder::FindTracks(const TMetaFile &meta)
{
    TTracks tracks;
    for (const TTrack &track : meta.Tracks) {
        const TTrack *&slot = track.Kind == ETrackKind::Video ? tracks.Video : tracks.Audio;
        if (slot)
            throw std::runtime_error("the meta file lists more than one "
                                     + std::string(track.Kind == ETrackKind::Video ? "video" : "audio")
                                     + " track");
        slot = &track;
        std::error_code error;
        if (!fs::is_regular_file(track.Path, error))
            throw std::runtime_error("track file \"" + track.Path + "\" does not exist");
    }
    if (!tracks.Video)
        throw std::runtime_error("the meta file lists no V_MPEG4/ISO/AVC video track");
    return tracks;
}

// Tells what the meta file asks for that is done otherwise.
void TDiscBuilder::ReportOptions(const TMetaFile &meta, const TTrack &videoTrack)
{
    if (videoTrack.InsertSei)
        FOut << "insertSEI: the stream's own SEI messages are kept as they are\n";
    if (!meta.Options.Vbr)
        Warn("constant-rate padding is not supported; the stream is written at a variable rate");
}

// The meta file's rate is used; a stream that says otherwise is worth a warning.
void TDiscBuilder::CheckFrameRate(const TVideoStream &video, const TFrameRate &rate, const std::string &fps)
{
    const TH264Sps &sps = video.FirstSps();
    if (!sps.NumUnitsInTick || !sps.TimeScale)
        return;
    double streamFps = double(sps.TimeScale) / (2.0 * sps.NumUnitsInTick);
    double givenFps = double(rate.Num) / rate.Den;
    if (std::fabs(streamFps - givenFps) > givenFps * 0.01)
        Warn("the video stream says " + std::to_string(streamFps) + " frames per second; fps=" + fps
             + " from the meta file is used");
}

// Writes the M2TS stream, showing progress and stopping when asked to.
TMuxResult TDiscBuilder::Mux(TVideoStream &video, TAc3Stream *audio, const TMuxSettings &settings,
                             const fs::path &streamPath)
{
    TM2tsMuxer muxer(video, audio, settings);
    TMuxResult result = muxer.Run(streamPath.string(), [&](double fraction) {
        ThrowIfStopRequested();
        FOut << "\rMuxing: " << int(fraction * 100) << '%' << std::flush;
    });
    FOut << '\n';
    return result;
}

// Warns about what the muxing found in the streams.
void TDiscBuilder::ReportStreams(const TMuxResult &result, const TVideoStream &video, const TAc3Stream *audio,
                                 const TTracks &tracks)
{
    if (result.PeakStreamBitRate > kDvdPlayerLimit) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "the streams reach %.1f Mbit/s; AVCHD players on DVD are specified for "
                      "24 Mbit/s at most and some stop at 17 Mbit/s",
                      result.PeakStreamBitRate / 1e6);
        Warn(text);
    }
    if (result.LateFrames > 0)
        Warn(std::to_string(result.LateFrames) + " frames arrive after their decoding time");
    if (video.TimingRepairs() > 0)
        Warn(std::to_string(video.TimingRepairs()) + " frames needed their decoding time moved");
    if (video.DamagedSlices() > 0)
        Warn("\"" + tracks.Video->Path + "\": " + std::to_string(video.DamagedSlices())
             + " slices have a damaged header; they were kept in their pictures as they are");
    if (video.ZerosSkipped() > 0)
        Warn("\"" + tracks.Video->Path + "\": " + std::to_string(video.ZerosSkipped())
             + " bytes of zeros holding no picture were passed over");
    if (audio && audio->SkippedStretches() > 0)
        Warn("\"" + tracks.Audio->Path + "\": " + std::to_string(audio->SkippedStretches())
             + " damaged stretches of the AC-3 stream were skipped");
}

// What the clip info, playlist, index and movie object describe.
TClipSummary TDiscBuilder::Summarise(const TMuxOptions &options, const TMuxResult &result,
                                     const TMuxSettings &settings, const TAc3Stream *audio)
{
    TClipSummary clip;
    clip.Version = options.Avchd ? "0100" : "0200";
    clip.PcrPid = result.PcrPid;
    clip.InTime45 = uint32_t(result.FirstPts27 / 600);
    clip.OutTime45 = uint32_t(result.EndPts27 / 600);
    clip.SourcePackets = result.SourcePackets;
    clip.RecordingRate = uint32_t(settings.MuxRate / 8);
    clip.Video = settings.Video;
    if (audio)
        clip.Audio = AudioAttributes(audio->Format());
    clip.EntryPoints = result.EntryPoints;
    PlaceChapters(options.ChaptersMs, clip);
    return clip;
}

// Chapters past the end are left out; a clip always has one at its start.
void TDiscBuilder::PlaceChapters(const std::vector<uint64_t> &chaptersMs, TClipSummary &clip)
{
    uint64_t duration45 = clip.OutTime45 - clip.InTime45;
    for (uint64_t ms : chaptersMs) {
        if (ms * 45 >= duration45) {
            Warn("chapter " + ChapterText(ms) + " is past the end of the video ("
                 + ChapterText(duration45 / 45) + ") and was left out");
            continue;
        }
        clip.ChapterTimes45.push_back(uint32_t(clip.InTime45 + ms * 45));
    }
    if (clip.ChapterTimes45.empty())
        clip.ChapterTimes45.push_back(clip.InTime45);
}

int TDiscBuilder::Run(const std::string &metaPath, const std::string &outputArgument)
{
    fs::path temp;
    try {
        TMetaFile meta = ReadMetaFile(metaPath);
        for (const std::string &note : meta.Notes)
            Warn(note);
        const TTracks tracks = FindTracks(meta);
        ReportOptions(meta, *tracks.Video);

        TMuxSettings settings = MuxSettings(meta.Options);
        TFrameRate rate = ParseFrameRate(tracks.Video->Fps);
        TVideoStream video(tracks.Video->Path, rate, tracks.Video->ContSps,
                           TM2tsMuxer::FirstPresentationTime27(settings, rate));
        CheckFrameRate(video, rate, tracks.Video->Fps);
        settings.Video = VideoAttributes(video.FirstSps(), rate);
        settings.VideoLeakRate = H264LeakRate(video.FirstSps());
        std::unique_ptr<TAc3Stream> audio;
        if (tracks.Audio)
            audio = std::make_unique<TAc3Stream>(tracks.Audio->Path);

        fs::path output = NormaliseOutputFolder(outputArgument);
        temp = MakeTempFolder(output);
        MakeFolders(temp);
        fs::path bdmv = temp / "BDMV";
        TMuxResult result = Mux(video, audio.get(), settings, bdmv / "STREAM" / "00000.m2ts");
        ReportStreams(result, video, audio.get(), tracks);
        TClipSummary clip = Summarise(meta.Options, result, settings, audio.get());
        WriteStructures(bdmv, clip);
        ThrowIfStopRequested();
        const std::string note = CommitFolders(temp, output);
        temp.clear();
        if (!note.empty())
            Warn(note);
        FOut << "Disc written to " << output.string() << ": " << result.VideoFrames << " frames, "
             << clip.ChapterTimes45.size() << " chapters, "
             << ChapterText((clip.OutTime45 - clip.InTime45) / 45) << '\n';
        return FWarned ? 1 : 0;
    } catch (const std::exception &e) {
        FOut << std::flush;
        FErr << "\nerror: " << e.what() << '\n';
        // After a failed undo, the temporary folder holds the previous disc folders.
        if (!temp.empty() && !dynamic_cast<const TCommitUndoFailed *>(&e)) {
            std::error_code ignored;
            fs::remove_all(temp, ignored);
        }
        return 2;
    }
}
