#include "tools/mux/muxmeta.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

// Far beyond what the application writes (a few lines, one chapter list of
// a few kilobytes), yet room for the most chapters a playlist holds (65535
// of 13 characters): a larger file is not a meta file, and is not read
// into memory.
constexpr size_t kLargestMetaFile = 1 << 20;

std::string Trim(const std::string &s)
{
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

bool StartsWith(const std::string &s, const std::string &prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

uint64_t ParseNumber(const std::string &text, const std::string &what)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 12)
        throw std::runtime_error("invalid " + what + " \"" + text + "\"");
    return std::stoull(text);
}

// Chapter marks are stored as 32-bit 45 kHz times, at most 65535 of them
// in one playlist.
constexpr uint64_t kLongestChapterMs = UINT32_MAX / 45;  // 26:30:43.717
constexpr size_t kMostChapters = 65535;

std::vector<uint64_t> ParseChapterList(const std::string &list, TMetaFile &meta)
{
    std::vector<uint64_t> chapters;
    size_t start = 0;
    while (start <= list.size() && !list.empty()) {
        size_t semi = list.find(';', start);
        std::string item = list.substr(start, semi == std::string::npos ? std::string::npos : semi - start);
        if (!item.empty())
            chapters.push_back(ParseChapterTime(item));
        if (!chapters.empty() && chapters.back() > kLongestChapterMs)
            throw std::runtime_error("chapter time \"" + item
                                     + "\" is past 26:30:43.717, the latest a disc can mark");
        if (chapters.size() > kMostChapters)
            throw std::runtime_error("--custom-chapters lists more than " + std::to_string(kMostChapters)
                                     + " chapters, the most a playlist holds");
        if (semi == std::string::npos)
            break;
        start = semi + 1;
    }
    if (!std::is_sorted(chapters.begin(), chapters.end())) {
        std::sort(chapters.begin(), chapters.end());
        meta.Notes.push_back(
            "the chapters of --custom-chapters were not in time order; they are marked in time order");
    }
    auto repeated = std::unique(chapters.begin(), chapters.end());
    if (repeated != chapters.end()) {
        chapters.erase(repeated, chapters.end());
        meta.Notes.push_back(
            "--custom-chapters names a chapter time more than once; each time is marked once");
    }
    return chapters;
}

void ParseOptions(const std::string &line, TMetaFile &meta)
{
    std::istringstream words(line.substr(6));
    std::string word;
    TMuxOptions &o = meta.Options;
    while (words >> word) {
        if (word == "--avchd") {
            o.Avchd = true;
        } else if (word == "--no-pcr-on-video-pid") {
            o.PcrOnOwnPid = true;
        } else if (word == "--new-audio-pes") {
            o.NewAudioPes = true;
        } else if (word == "--vbr") {
            o.Vbr = true;
        } else if (StartsWith(word, "--vbv-len=")) {
            uint64_t ms = ParseNumber(word.substr(10), "--vbv-len value");
            if (ms < 10 || ms > 10000)
                throw std::runtime_error("--vbv-len must be 10 to 10000 ms");
            o.VbvLenMs = uint32_t(ms);
        } else if (StartsWith(word, "--custom-chapters=")) {
            o.ChaptersMs = ParseChapterList(word.substr(18), meta);
        } else {
            meta.Notes.push_back("option " + word + " is not supported and was ignored");
        }
    }
}

// Splits a track line at the commas outside double quotes.
std::vector<std::string> SplitFields(const std::string &line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (char c : line) {
        if (c == '"')
            quoted = !quoted;
        if (c == ',' && !quoted)
            fields.emplace_back();
        else
            fields.back() += c;
    }
    if (quoted)
        throw std::runtime_error("unbalanced double quote");
    for (std::string &f : fields)
        f = Trim(f);
    return fields;
}

TTrack ParseTrack(const std::string &line, TMetaFile &meta)
{
    std::vector<std::string> fields = SplitFields(line);
    TTrack track;
    if (fields[0] == "V_MPEG4/ISO/AVC") {
        track.Kind = ETrackKind::Video;
    } else if (fields[0] == "A_AC3") {
        track.Kind = ETrackKind::Audio;
    } else {
        throw std::runtime_error("track type " + fields[0]
                                 + " is not supported (only V_MPEG4/ISO/AVC and A_AC3)");
    }
    if (fields.size() < 2 || fields[1].empty())
        throw std::runtime_error("track without a file");
    track.Path = fields[1];
    if (track.Path.size() >= 2 && track.Path.front() == '"' && track.Path.back() == '"')
        track.Path = track.Path.substr(1, track.Path.size() - 2);
    for (size_t i = 2; i < fields.size(); ++i) {
        const std::string &f = fields[i];
        if (f.empty())
            continue;
        if (track.Kind == ETrackKind::Video && StartsWith(f, "fps="))
            track.Fps = f.substr(4);
        else if (track.Kind == ETrackKind::Video && f == "insertSEI")
            track.InsertSei = true;
        else if (track.Kind == ETrackKind::Video && f == "contSPS")
            track.ContSps = true;
        else
            meta.Notes.push_back("track option " + f + " is not supported and was ignored");
    }
    return track;
}

}  // namespace

uint64_t ParseChapterTime(const std::string &text)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, ':'))
        parts.push_back(part);
    if (parts.empty() || parts.size() > 3)
        throw std::runtime_error("invalid chapter time \"" + text + "\"");
    std::string secondsText = parts.back();
    uint64_t ms = 0;
    size_t dot = secondsText.find('.');
    if (dot != std::string::npos) {
        std::string fraction = secondsText.substr(dot + 1);
        if (fraction.empty() || fraction.size() > 3)
            throw std::runtime_error("invalid chapter time \"" + text + "\"");
        fraction.resize(3, '0');
        ms = ParseNumber(fraction, "chapter time");
        secondsText = secondsText.substr(0, dot);
    }
    try {
        ms += ParseNumber(secondsText, "chapter time") * 1000;
        uint64_t scale = 60000;
        for (size_t i = parts.size() - 1; i-- > 0; scale *= 60)
            ms += ParseNumber(parts[i], "chapter time") * scale;
    } catch (const std::runtime_error &) {
        throw std::runtime_error("invalid chapter time \"" + text + "\"");
    }
    return ms;
}

TMetaFile ParseMetaFile(const std::string &text)
{
    TMetaFile meta;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        line = Trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        try {
            if (StartsWith(line, "MUXOPT"))
                ParseOptions(line, meta);
            else
                meta.Tracks.push_back(ParseTrack(line, meta));
        } catch (const std::runtime_error &e) {
            throw std::runtime_error("meta file line " + std::to_string(number) + ": " + e.what());
        }
    }
    return meta;
}

TMetaFile ReadMetaFile(const std::string &path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        throw std::runtime_error("the meta file \"" + path + "\" does not exist or is not a file");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read the meta file \"" + path + "\": " + std::strerror(errno));
    // At most one byte more than allowed: a file of gigabytes is not read.
    std::string text(kLargestMetaFile + 1, '\0');
    in.read(text.data(), std::streamsize(text.size()));
    if (in.bad())
        throw std::runtime_error("cannot read the meta file \"" + path + "\"");
    text.resize(size_t(in.gcount()));
    if (text.size() > kLargestMetaFile)
        throw std::runtime_error("the meta file \"" + path + "\" is larger than "
                                 + std::to_string(kLargestMetaFile >> 20) + " MB: it is not a meta file");
    return ParseMetaFile(text);
}
