// Builds an AVCHD (or Blu-ray) disc folder from a meta file: BDMV with the
// index, movie object, playlist, clip info and M2TS stream plus their
// backups, and CERTIFICATE. Everything is written into a hidden folder
// beside the output folder and moved into place only when complete.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class TAc3Stream;
class TConsole;
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
    explicit TDiscBuilder(TConsole &console) : FConsole(console) { }

    // Warnings and errors go to the console; after an error nothing changed
    // in the output folder. A stop requested (stopflag.h) fails the build,
    // which removes what it wrote.
    void Run(const std::string &metaPath, const std::string &outputFolder);

private:
    struct TTracks
    {
        const TTrack *Video = nullptr;
        const TTrack *Audio = nullptr;
    };

    // The steps of run, in the order it takes them.
    void ReportMeta(const std::string &metaPath, const TMetaFile &meta);
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

    TConsole &FConsole;
};

// The muxer's command line: the meta file and the output folder.
struct TMuxLine
{
    std::string MetaPath;
    std::string OutputFolder;
};
// `args` are the arguments after the program's name; a line that cannot be
// used is reported on the console, with the usage text, and gives none.
std::optional<TMuxLine> ReadMuxLine(const std::vector<std::string> &args, TConsole &console);

// The output folder argument with trailing path delimiters removed (the
// application passes a folder ending with a delimiter).
std::string NormaliseOutputFolder(std::string folder);
