// BDMV/CLIPINF/00000.clpi: clip info, sequence info (one arrival time and
// one system time sequence), program info and the EP map of the video.
#include "mux/clipsummary.h"

#include "media/bitwriter.h"
#include "mux/structureheader.h"
#include "common/tspacketwriter.h"

namespace {

constexpr uint16_t kStreamCodingInfoLength = 21;

// How far a player must read from an entry point to hold the whole I
// picture: the class of the bytes on disc from the entry's source packet to
// the one holding the picture's last byte, packets of other streams included.
uint8_t endPositionClass(const TEpEntry& entry) {
  uint64_t bytes = uint64_t(entry.lastSpn - entry.spn + 1) * kSourcePacketSize;
  constexpr uint32_t kLimits[] = {131072, 262144, 393216, 589824, 917504, 1310720};
  uint8_t code = 1;
  for (uint32_t limit : kLimits) {
    if (bytes < limit) return code;
    ++code;
  }
  return 7;
}

void putClipInfo(TBitWriter& w, const TClipSummary& clip) {
  size_t info = w.beginLength(32);
  w.put(0, 16);
  w.put(1, 8);  // clip stream type: AV stream
  w.put(1, 8);  // application type: main movie
  w.put(0, 31);
  w.put(0, 1);  // no ATC delta
  w.put(clip.recordingRate, 32);
  w.put(clip.sourcePackets, 32);
  w.putZeros(128);
  size_t typeInfo = w.beginLength(16);
  w.put(0x80, 8);  // validity flags
  w.putBytes("HDMV");
  w.putZeros(25);
  w.endLength(typeInfo);
  w.endLength(info);
}

void putSequenceInfo(TBitWriter& w, const TClipSummary& clip) {
  size_t info = w.beginLength(32);
  w.put(0, 8);
  w.put(1, 8);   // ATC sequences
  w.put(0, 32);  // first source packet of the ATC sequence
  w.put(1, 8);   // STC sequences
  w.put(0, 8);   // offset of the STC id
  w.put(clip.pcrPid, 16);
  w.put(0, 32);  // first source packet of the STC sequence
  w.put(clip.inTime45, 32);
  w.put(clip.outTime45, 32);
  w.endLength(info);
}

void putProgramInfo(TBitWriter& w, const TClipSummary& clip) {
  size_t info = w.beginLength(32);
  w.put(0, 8);
  w.put(1, 8);   // programs
  w.put(0, 32);  // first source packet of the program sequence
  w.put(kPmtPid, 16);
  w.put(clip.audio ? 2 : 1, 8);
  w.put(0, 8);  // stream groups

  w.put(kVideoPid, 16);
  size_t video = w.beginLength(8);
  w.put(kStreamTypeH264, 8);
  w.put(clip.video.format, 4);
  w.put(clip.video.rate, 4);
  w.put(clip.video.aspect, 4);
  w.put(0, 2);
  w.put(0, 1);  // no closed captions flag
  w.put(0, 1);
  w.putZeros(kStreamCodingInfoLength - 3);
  w.endLength(video);

  if (clip.audio) {
    w.put(kAudioPid, 16);
    size_t audio = w.beginLength(8);
    w.put(kStreamTypeAc3, 8);
    w.put(clip.audio->format, 4);
    w.put(clip.audio->rate, 4);
    w.putBytes("und");
    w.putZeros(kStreamCodingInfoLength - 5);
    w.endLength(audio);
  }
  w.endLength(info);
}

// Coarse entries hold the high bits of time and packet number; a new one
// starts whenever those change.
void putEpMap(TBitWriter& w, const TClipSummary& clip) {
  struct TCoarse {
    uint32_t fineId, pts, spn;
  };
  std::vector<TCoarse> coarse;
  for (size_t i = 0; i < clip.entryPoints.size(); ++i) {
    const TEpEntry& e = clip.entryPoints[i];
    uint32_t ptsHigh = uint32_t(e.pts90 >> 19) & 0x3FFF;
    if (coarse.empty() || coarse.back().pts != ptsHigh ||
        (coarse.back().spn >> 17) != (e.spn >> 17))
      coarse.push_back({uint32_t(i), ptsHigh, e.spn});
  }

  size_t epMapStart = w.bytePos();
  w.put(0, 8);
  w.put(1, 8);  // one stream
  w.put(kVideoPid, 16);
  w.put(0, 10);
  w.put(1, 4);  // EP stream type: video
  w.put(coarse.size(), 16);
  w.put(clip.entryPoints.size(), 18);
  size_t streamAddress = w.bytePos();
  w.put(0, 32);

  size_t streamStart = w.bytePos();
  w.patch(streamAddress, streamStart - epMapStart, 32);
  size_t fineAddress = w.bytePos();
  w.put(0, 32);
  for (const TCoarse& c : coarse) {
    w.put(c.fineId, 18);
    w.put(c.pts, 14);
    w.put(c.spn, 32);
  }
  w.patch(fineAddress, w.bytePos() - streamStart, 32);
  for (const TEpEntry& e : clip.entryPoints) {
    w.put(0, 1);  // not an angle change point
    w.put(endPositionClass(e), 3);
    w.put(uint32_t(e.pts90 >> 9) & 0x7FF, 11);
    w.put(e.spn & 0x1FFFF, 17);
  }
}

void putCpi(TBitWriter& w, const TClipSummary& clip) {
  size_t cpi = w.beginLength(32);
  w.put(0, 12);
  w.put(1, 4);  // CPI type: EP map
  putEpMap(w, clip);
  w.endLength(cpi);
}

}  // namespace

std::vector<uint8_t> buildClipInfoFile(const TClipSummary& clip) {
  TBitWriter w;
  // Parts: sequence, program, CPI, clip marks; no extension data.
  TStructureHeader header(w, "HDMV", clip.version);
  putClipInfo(w, clip);
  header.PartStartsHere(0);
  putSequenceInfo(w, clip);
  header.PartStartsHere(1);
  putProgramInfo(w, clip);
  header.PartStartsHere(2);
  putCpi(w, clip);
  header.PartStartsHere(3);
  w.put(0, 32);  // no clip marks
  return w.bytes();
}
