#include "mux/discbuilder.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <sys/stat.h>

#include "common/stopflag.h"
#include "mux/audiostream.h"
#include "mux/clipsummary.h"
#include "mux/m2tsmuxer.h"
#include "mux/metafile.h"
#include "mux/muxfile.h"
#include "mux/videostream.h"

namespace fs = std::filesystem;

namespace {

constexpr double kDvdPlayerLimit = 24e6;

std::string chapterText(uint64_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%02llu:%02llu:%02llu.%03llu",
                static_cast<unsigned long long>(ms / 3600000),
                static_cast<unsigned long long>(ms / 60000 % 60),
                static_cast<unsigned long long>(ms / 1000 % 60),
                static_cast<unsigned long long>(ms % 1000));
  return text;
}

TVideoAttributes videoAttributes(const TH264Sps& sps, const TFrameRate& rate) {
  TVideoAttributes a;
  bool interlaced = !sps.frameMbsOnly;
  if (sps.height > 720)
    a.format = interlaced ? 4 : 6;
  else if (sps.height > 576)
    a.format = 5;
  else if (sps.height > 480)
    a.format = interlaced ? 3 : 7;
  else
    a.format = interlaced ? 1 : 2;
  double fps = double(rate.num) / rate.den;
  struct { double fps; uint8_t code; } codes[] = {
      {24000.0 / 1001, 1}, {24, 2}, {25, 3}, {30000.0 / 1001, 4}, {50, 6}, {60000.0 / 1001, 7}};
  for (const auto& c : codes)
    if (std::fabs(fps - c.fps) < 0.01) a.rate = c.code;
  a.aspect = sps.width * 3 >= sps.height * 4 + sps.height / 2 ? 3 : 2;
  return a;
}

TAudioAttributes audioAttributes(const TAc3Frame& frame) {
  TAudioAttributes a;
  a.format = frame.acmod == 1 ? 1 : (frame.acmod <= 2 && !frame.lfe) ? 3 : 6;
  a.rate = 1;
  return a;
}

TMuxSettings muxSettings(const TMuxOptions& options) {
  TMuxSettings settings;
  settings.pcrOnOwnPid = options.pcrOnOwnPid;
  settings.blurayAudioPes = options.newAudioPes;
  settings.vbvLenMs = options.vbvLenMs;
  return settings;
}

void makeFolders(const fs::path& root) {
  for (const char* sub : {"BDMV/PLAYLIST", "BDMV/CLIPINF", "BDMV/STREAM", "BDMV/BACKUP/PLAYLIST",
                          "BDMV/BACKUP/CLIPINF", "CERTIFICATE/BACKUP"})
    fs::create_directories(root / sub);
}

void writeStructure(const fs::path& bdmv, const char* name, const std::vector<uint8_t>& data) {
  throwIfStopRequested();
  writeWholeFile((bdmv / name).string(), data);
  writeWholeFile((bdmv / "BACKUP" / name).string(), data);
}

void writeStructures(const fs::path& bdmv, const TClipSummary& clip) {
  writeStructure(bdmv, "index.bdmv", buildIndexFile(clip));
  writeStructure(bdmv, "MovieObject.bdmv", buildMovieObjectFile(clip));
  writeStructure(bdmv, "PLAYLIST/00000.mpls", buildPlaylistFile(clip));
  writeStructure(bdmv, "CLIPINF/00000.clpi", buildClipInfoFile(clip));
}

// The mode a folder made by mkdir gets here: the temporary folder is made
// private (mkdtemp) while it is built, but becomes the output folder like
// any folder the user makes.
mode_t folderModeForUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0777 & ~mask;
}

// Moves BDMV and CERTIFICATE of the finished temporary folder into the
// output folder, replacing the ones already there.
void commit(const fs::path& temp, const fs::path& output) {
  if (!fs::exists(output)) {
    if (::chmod(temp.c_str(), folderModeForUmask()) != 0)
      throw std::runtime_error("cannot set the mode of \"" + temp.string() + "\": " + std::strerror(errno));
    fs::rename(temp, output);
    return;
  }
  for (const char* name : {"BDMV", "CERTIFICATE"}) {
    fs::path old = output / name;
    if (fs::exists(old)) fs::rename(old, temp / (std::string(name) + ".old"));
    fs::rename(temp / name, output / name);
  }
  fs::remove_all(temp);
}

fs::path makeTempFolder(const fs::path& output) {
  fs::path parent = output.parent_path().empty() ? fs::path(".") : output.parent_path();
  std::error_code error;
  fs::create_directories(parent, error);
  std::string pattern = (parent / ("." + output.filename().string() + ".tsmuxer-XXXXXX")).string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!::mkdtemp(buffer.data()))
    throw std::runtime_error("cannot create the output folder \"" + output.string() +
                             "\": " + std::strerror(errno));
  return fs::path(buffer.data());
}

}  // namespace

void TDiscBuilder::requestStop() { ::requestStop(); }

std::string normaliseOutputFolder(std::string folder) {
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\' || folder.back() == '"'))
    folder.pop_back();
  return folder;
}

void TDiscBuilder::warn(const std::string& text) {
  err_ << "warning: " << text << '\n';
  warned_ = true;
}

// Throws when the meta file lists two tracks of a kind, a track file that
// does not exist, or no video track.
TDiscBuilder::TTracks TDiscBuilder::findTracks(const TMetaFile& meta) {
  TTracks tracks;
  for (const TTrack& track : meta.tracks) {
    const TTrack*& slot = track.kind == ETrackKind::Video ? tracks.video : tracks.audio;
    if (slot) throw std::runtime_error("the meta file lists more than one " +
                                       std::string(track.kind == ETrackKind::Video ? "video" : "audio") +
                                       " track");
    slot = &track;
    std::error_code error;
    if (!fs::is_regular_file(track.path, error))
      throw std::runtime_error("track file \"" + track.path + "\" does not exist");
  }
  if (!tracks.video) throw std::runtime_error("the meta file lists no V_MPEG4/ISO/AVC video track");
  return tracks;
}

// Tells what the meta file asks for that is done otherwise.
void TDiscBuilder::reportOptions(const TMetaFile& meta, const TTrack& videoTrack) {
  if (videoTrack.insertSei)
    out_ << "insertSEI: the stream's own SEI messages are kept as they are\n";
  if (!meta.options.vbr) warn("constant-rate padding is not supported; the stream is written at a variable rate");
}

// The meta file's rate is used; a stream that says otherwise is worth a warning.
void TDiscBuilder::checkFrameRate(const TVideoStream& video, const TFrameRate& rate, const std::string& fps) {
  const TH264Sps& sps = video.firstSps();
  if (!sps.numUnitsInTick || !sps.timeScale) return;
  double streamFps = double(sps.timeScale) / (2.0 * sps.numUnitsInTick);
  double givenFps = double(rate.num) / rate.den;
  if (std::fabs(streamFps - givenFps) > givenFps * 0.01)
    warn("the video stream says " + std::to_string(streamFps) + " frames per second; fps=" + fps +
         " from the meta file is used");
}

// Writes the M2TS stream, showing progress and stopping when asked to.
TMuxResult TDiscBuilder::mux(TVideoStream& video, TAc3Stream* audio, const TMuxSettings& settings,
                             const fs::path& streamPath) {
  TM2tsMuxer muxer(video, audio, settings);
  TMuxResult result = muxer.run(streamPath.string(), [&](double fraction) {
    throwIfStopRequested();
    out_ << "\rMuxing: " << int(fraction * 100) << '%' << std::flush;
  });
  out_ << '\n';
  return result;
}

// Warns about what the muxing found in the streams.
void TDiscBuilder::reportStreams(const TMuxResult& result, const TVideoStream& video, const TAc3Stream* audio,
                                 const TTracks& tracks) {
  if (result.peakStreamBitRate > kDvdPlayerLimit) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "the streams reach %.1f Mbit/s; AVCHD players on DVD are specified for "
                  "24 Mbit/s at most and some stop at 17 Mbit/s",
                  result.peakStreamBitRate / 1e6);
    warn(text);
  }
  if (result.lateFrames > 0)
    warn(std::to_string(result.lateFrames) + " frames arrive after their decoding time");
  if (video.timingRepairs() > 0)
    warn(std::to_string(video.timingRepairs()) + " frames needed their decoding time moved");
  if (video.damagedSlices() > 0)
    warn("\"" + tracks.video->path + "\": " + std::to_string(video.damagedSlices()) +
         " slices have a damaged header; they were kept in their pictures as they are");
  if (audio && audio->skippedStretches() > 0)
    warn("\"" + tracks.audio->path + "\": " + std::to_string(audio->skippedStretches()) +
         " damaged stretches of the AC-3 stream were skipped");
}

// What the clip info, playlist, index and movie object describe.
TClipSummary TDiscBuilder::summarise(const TMuxOptions& options, const TMuxResult& result,
                                     const TMuxSettings& settings, const TAc3Stream* audio) {
  TClipSummary clip;
  clip.version = options.avchd ? "0100" : "0200";
  clip.pcrPid = result.pcrPid;
  clip.inTime45 = uint32_t(result.firstPts27 / 600);
  clip.outTime45 = uint32_t(result.endPts27 / 600);
  clip.sourcePackets = result.sourcePackets;
  clip.recordingRate = uint32_t(settings.muxRate / 8);
  clip.video = settings.video;
  if (audio) clip.audio = audioAttributes(audio->format());
  clip.entryPoints = result.entryPoints;
  placeChapters(options.chaptersMs, clip);
  return clip;
}

// Chapters past the end are left out; a clip always has one at its start.
void TDiscBuilder::placeChapters(const std::vector<uint64_t>& chaptersMs, TClipSummary& clip) {
  uint64_t duration45 = clip.outTime45 - clip.inTime45;
  for (uint64_t ms : chaptersMs) {
    if (ms * 45 >= duration45) {
      warn("chapter " + chapterText(ms) + " is past the end of the video (" + chapterText(duration45 / 45) +
           ") and was left out");
      continue;
    }
    clip.chapterTimes45.push_back(uint32_t(clip.inTime45 + ms * 45));
  }
  if (clip.chapterTimes45.empty()) clip.chapterTimes45.push_back(clip.inTime45);
}

int TDiscBuilder::run(const std::string& metaPath, const std::string& outputArgument) {
  fs::path temp;
  try {
    TMetaFile meta = readMetaFile(metaPath);
    for (const std::string& note : meta.notes) warn(note);
    const TTracks tracks = findTracks(meta);
    reportOptions(meta, *tracks.video);

    TMuxSettings settings = muxSettings(meta.options);
    TFrameRate rate = parseFrameRate(tracks.video->fps);
    TVideoStream video(tracks.video->path, rate, tracks.video->contSps,
                       TM2tsMuxer::firstPresentationTime27(settings, rate));
    checkFrameRate(video, rate, tracks.video->fps);
    settings.video = videoAttributes(video.firstSps(), rate);
    std::unique_ptr<TAc3Stream> audio;
    if (tracks.audio) audio = std::make_unique<TAc3Stream>(tracks.audio->path);

    fs::path output = normaliseOutputFolder(outputArgument);
    temp = makeTempFolder(output);
    makeFolders(temp);
    fs::path bdmv = temp / "BDMV";
    TMuxResult result = mux(video, audio.get(), settings, bdmv / "STREAM" / "00000.m2ts");
    reportStreams(result, video, audio.get(), tracks);
    TClipSummary clip = summarise(meta.options, result, settings, audio.get());
    writeStructures(bdmv, clip);
    throwIfStopRequested();
    commit(temp, output);
    out_ << "Disc written to " << output.string() << ": " << result.videoFrames << " frames, "
         << clip.chapterTimes45.size() << " chapters, " << chapterText((clip.outTime45 - clip.inTime45) / 45)
         << '\n';
    return warned_ ? 1 : 0;
  } catch (const std::exception& e) {
    out_ << std::flush;
    err_ << "\nerror: " << e.what() << '\n';
    if (!temp.empty()) {
      std::error_code ignored;
      fs::remove_all(temp, ignored);
    }
    return 2;
  }
}
