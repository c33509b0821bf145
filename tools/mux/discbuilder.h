// Builds an AVCHD (or Blu-ray) disc folder from a meta file: BDMV with the
// index, movie object, playlist, clip info and M2TS stream plus their
// backups, and CERTIFICATE. Everything is written into a hidden folder
// beside the output folder and moved into place only when complete.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

class TAc3Stream;
class TVideoStream;
struct TClipSummary;
struct TFrameRate;
struct TMetaFile;
struct TMuxOptions;
struct TMuxResult;
struct TMuxSettings;
struct TTrack;

class TDiscBuilder
{
public:
    TDiscBuilder(std::ostream &out, std::ostream &err) : FOut(out), FErr(err) { }

    // Exit status: 0 done, 1 done with warnings, 2 failed (nothing changed
    // in the output folder).
    int Run(const std::string &metaPath, const std::string &outputFolder);

    // Asks a running build to stop (from a signal handler): it fails and
    // removes what it wrote.
    static void RequestStop();

private:
    struct TTracks
    {
        const TTrack *Video = nullptr;
        const TTrack *Audio = nullptr;
    };

    // The steps of run, in the order it takes them.
    static TTracks FindTracks(const TMetaFile &meta);
    void ReportOptions(const TMetaFile &meta, const TTrack &videoTrack);
    void CheckFrameRate(const TVideoStream &video, const TFrameRate &rate, const std::string &fps);
    TMuxResult Mux(TVideoStream &video, TAc3Stream *audio, const TMuxSettings &settings,
                   const std::filesystem::path &streamPath);
    void ReportStreams(const TMuxResult &result, const TVideoStream &video, const TAc3Stream *audio,
                       const TTracks &tracks);
    TClipSummary Summarise(const TMuxOptions &options, const TMuxResult &result, const TMuxSettings &settings,
                           const TAc3Stream *audio);
    void PlaceChapters(const std::vector<uint64_t> &chaptersMs, TClipSummary &clip);
    void Warn(const std::string &text);

    std::ostream &FOut;
    std::ostream &FErr;
    bool FWarned = false;
};

// The output folder argument with trailing path delimiters removed (the
// application passes a folder ending with a delimiter).
std::string NormaliseOutputFolder(std::string folder);
