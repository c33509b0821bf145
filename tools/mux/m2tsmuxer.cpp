#include "mux/m2tsmuxer.h"

#include <algorithm>
#include <map>
#include <optional>
#include <stdexcept>

#include "common/outputfile.h"
#include "common/tspacketwriter.h"
#include "mux/muxfile.h"

namespace {

constexpr uint64_t kClock = 27000000;
constexpr uint64_t kPcrInterval = kClock / 25;   // 40 ms
constexpr uint64_t kPsiInterval = kClock / 10;   // 100 ms
constexpr uint64_t kAudioLeadMax = kClock / 5;   // audio buffers are small
constexpr uint64_t kRateWindow = kClock / 100;  // 10 ms
constexpr uint8_t kVideoStreamId = 0xE0;
constexpr uint8_t kPrivateStream1 = 0xBD;
constexpr uint8_t kExtendedStreamId = 0xFD;
constexpr uint8_t kAc3StreamIdExtension = 0x71;

std::vector<uint8_t> registration(const char* id) {
  return {0x05, 0x04, uint8_t(id[0]), uint8_t(id[1]), uint8_t(id[2]), uint8_t(id[3])};
}

// Copy control descriptor of Blu-ray and AVCHD streams: no copy restriction.
const std::vector<uint8_t> kCopyControl = {0x88, 0x04, 0x0F, 0xFF, 0xFC, 0xFC};

// HDMV registration with the video's coding type, format, rate and aspect.
std::vector<uint8_t> videoRegistration(const TVideoAttributes& video) {
  std::vector<uint8_t> d = registration("HDMV");
  d[1] = 8;
  d.push_back(0xFF);
  d.push_back(kStreamTypeH264);
  d.push_back(uint8_t(video.format << 4 | (video.rate & 0x0F)));
  d.push_back(uint8_t(video.aspect << 4 | 0x0F));
  return d;
}

// The 'AC-3' registration and the AC-3 audio descriptor, read from the
// first frame's header: fscod and frmsizecod (byte 4), bsid and bsmod
// (byte 5), acmod (top of byte 6).
std::vector<uint8_t> ac3Descriptors(const std::vector<uint8_t>& frame) {
  std::vector<uint8_t> d = registration("AC-3");
  if (frame.size() < 7) return d;
  uint8_t fscod = frame[4] >> 6, bitRateCode = (frame[4] & 0x3F) >> 1;
  uint8_t bsid = frame[5] >> 3, bsmod = frame[5] & 0x07, acmod = frame[6] >> 5;
  d.insert(d.end(), {0x81, 4, uint8_t(fscod << 5 | bsid), uint8_t(bitRateCode << 2),
                     uint8_t(bsmod << 5 | acmod << 1 | 1),  // surround not indicated; full service
                     0xFF});                                // language code: deprecated, all ones
  return d;
}

// The spacing of source packets that keeps every 10 ms window at or under
// `rate` bit/s however the window falls.
uint64_t packetInterval(uint64_t rate) {
  uint64_t packetsPerWindow = std::max<uint64_t>(1, rate / 100 / (kSourcePacketSize * 8));
  return (kRateWindow + packetsPerWindow - 1) / packetsPerWindow;
}

// Highest rate over any second, or over the whole stream when shorter.
double peakBitRate(const std::map<uint64_t, uint64_t>& bytesPerTenth) {
  if (bytesPerTenth.empty()) return 0;
  uint64_t first = bytesPerTenth.begin()->first, last = bytesPerTenth.rbegin()->first;
  std::vector<uint64_t> tenths(last - first + 1, 0);
  for (const auto& [tenth, bytes] : bytesPerTenth) tenths[tenth - first] = bytes;
  size_t window = std::min<size_t>(10, tenths.size());
  uint64_t sum = 0, best = 0;
  for (size_t i = 0; i < tenths.size(); ++i) {
    sum += tenths[i];
    if (i >= window) sum -= tenths[i - window];
    best = std::max(best, sum);
  }
  return double(best) * 8 * 10 / double(window);
}

}  // namespace

// One run: the packet clock, the output and the statistics.
class TM2tsMuxer::TSession {
public:
  // `firstAudioFrame` is empty for a stream without audio.
  TSession(TOutputFile& out, const TMuxSettings& settings, const std::vector<uint8_t>& firstAudioFrame)
      : writer_(out),
        interval_(packetInterval(settings.muxRate)),
        pcrPid_(settings.pcrOnOwnPid ? kPcrPid : kVideoPid) {
    std::vector<TPmtStream> streams = {{kStreamTypeH264, kVideoPid, videoRegistration(settings.video)}};
    if (!firstAudioFrame.empty())
      streams.push_back({kStreamTypeAc3, kAudioPid, ac3Descriptors(firstAudioFrame)});
    std::vector<uint8_t> programDescriptors = registration("HDMV");
    programDescriptors.insert(programDescriptors.end(), kCopyControl.begin(), kCopyControl.end());
    tables_ = {{0, makePatSection(1, {{0, kSitPid}, {1, kPmtPid}})},
               {kPmtPid, makePmtSection(1, pcrPid_, programDescriptors, streams)},
               {kSitPid, makeSitSection(1, settings.muxRate)}};
    if (settings.blurayAudioPes) writer_.setTransportPriority(kAudioPid);
  }

  uint16_t pcrPid() const { return pcrPid_; }
  uint32_t packets() const { return writer_.packetCount(); }

  // Time of the next packet, not before `earliest`; writes the tables and
  // the PCR when they are due.
  uint64_t slot(uint64_t earliest, bool forceTables) {
    if (!started_) {
      clock_ = earliest > 4 * interval_ ? earliest - 4 * interval_ : 0;
      started_ = true;
    }
    uint64_t t = std::max(clock_ + interval_, earliest);
    if (forceTables || !tablesWritten_ || t >= lastTables_ + kPsiInterval) {
      for (const auto& [pid, section] : tables_) {
        writer_.writeSection(pid, section, t);
        t += interval_;
      }
      lastTables_ = t;
      tablesWritten_ = true;
    }
    if (!pcrWritten_ || t >= lastPcr_ + kPcrInterval) {
      writer_.writePcr(pcrPid_, t, t);
      lastPcr_ = t;
      pcrWritten_ = true;
      t += interval_;
    }
    clock_ = t;
    return t;
  }

  struct TPesPlace {
    uint32_t firstPacket, lastPacket;
    uint64_t lastTime;
  };

  // Writes one PES packet; says where its packets went.
  TPesPlace writePes(uint16_t pid, const std::vector<uint8_t>& header, const uint8_t* payload,
                     size_t size, uint64_t earliest, bool entryPoint) {
    uint64_t t = slot(earliest, entryPoint);
    uint32_t first = writer_.packetCount();
    // The header goes in the first packet with as much payload as fits.
    uint8_t packet[kTsPacketSize];
    size_t headerTake = std::min(header.size() + size, kTsPacketSize - 4);
    std::copy(header.begin(), header.end(), packet);
    size_t payloadInFirst = headerTake - header.size();
    std::copy(payload, payload + payloadInFirst, packet + header.size());
    size_t taken = writer_.writePayloadPacket(pid, true, entryPoint, packet, headerTake, t);
    size_t done = taken >= header.size() ? taken - header.size() : 0;
    if (taken < header.size()) throw std::logic_error("PES header split across packets");
    while (done < size) {
      t = slot(earliest, false);
      done += writer_.writePayloadPacket(pid, false, false, payload + done, size - done, t);
    }
    return {first, writer_.packetCount() - 1, t};
  }

  // Fills the last aligned unit with null packets.
  void finish() {
    while (writer_.packetCount() % kAlignedUnitPackets != 0) {
      clock_ += interval_;
      writer_.writeNull(clock_);
    }
  }

private:
  TTsPacketWriter writer_;
  uint64_t interval_;
  uint16_t pcrPid_;
  std::vector<std::pair<uint16_t, std::vector<uint8_t>>> tables_;  // PID and section
  uint64_t clock_ = 0;
  bool started_ = false;
  bool tablesWritten_ = false;
  bool pcrWritten_ = false;
  uint64_t lastTables_ = 0;
  uint64_t lastPcr_ = 0;
};

TM2tsMuxer::TM2tsMuxer(TVideoStream& video, TAc3Stream* audio, const TMuxSettings& settings)
    : video_(video), audio_(audio), settings_(settings) {}

uint64_t TM2tsMuxer::firstPresentationTime27(const TMuxSettings& settings,
                                             const TFrameRate& rate) {
  // Room for the buffering window, the deepest reordering and a margin.
  return uint64_t(settings.vbvLenMs) * (kClock / 1000) + 17 * rate.frameDuration27() + kClock / 10;
}

TMuxResult TM2tsMuxer::run(const std::string& path, const std::function<void(double)>& progress) {
  TVideoFrame frame;
  bool haveFrame = video_.next(frame);
  std::vector<uint8_t> audioFrame;
  bool haveAudio = audio_ && audio_->next(audioFrame);

  TOutputFile out;
  throwOnFailure(out.Open(path), out, "cannot create");
  TSession session(out, settings_, audioFrame);
  TMuxResult result;
  result.pcrPid = session.pcrPid();
  result.firstPts27 = video_.firstPts27();
  const uint64_t vbv = uint64_t(settings_.vbvLenMs) * (kClock / 1000);
  const uint64_t audioLead = std::min(vbv, kAudioLeadMax);
  const uint64_t totalBytes =
      std::max<uint64_t>(1, video_.fileSize() + (audio_ ? audio_->fileSize() : 0));
  std::map<uint64_t, uint64_t> bytesPerTenth;  // stream bytes by tenth of a second
  const uint8_t audioStreamId = settings_.blurayAudioPes ? kExtendedStreamId : kPrivateStream1;
  const std::optional<uint8_t> audioExtension =
      settings_.blurayAudioPes ? std::optional<uint8_t>(kAc3StreamIdExtension) : std::nullopt;
  uint64_t audioPts = result.firstPts27;
  int lastPercent = -1;

  while (haveFrame || haveAudio) {
    uint64_t videoEarliest = haveFrame ? (frame.dts27 > vbv ? frame.dts27 - vbv : 0) : UINT64_MAX;
    uint64_t audioEarliest = haveAudio ? audioPts - std::min(audioPts, audioLead) : UINT64_MAX;
    if (haveFrame && videoEarliest <= audioEarliest) {
      // Every video PES carries its decoding time so no reader has to guess it.
      std::vector<uint8_t> header =
          makePesHeader(kVideoStreamId, frame.pts27 / 300, frame.dts27 / 300, frame.size());
      TSession::TPesPlace place = session.writePes(kVideoPid, header, frame.data(), frame.size(),
                                                   videoEarliest, frame.intra);
      if (frame.intra)
        result.entryPoints.push_back({frame.pts27 / 300, place.firstPacket, place.lastPacket});
      if (place.lastTime > frame.dts27) ++result.lateFrames;
      bytesPerTenth[frame.dts27 / (kClock / 10)] += frame.size();
      ++result.videoFrames;
      haveFrame = video_.next(frame);
    } else {
      std::vector<uint8_t> header = makePesHeader(audioStreamId, audioPts / 300, std::nullopt,
                                                  audioFrame.size(), audioExtension);
      session.writePes(kAudioPid, header, audioFrame.data(), audioFrame.size(), audioEarliest, false);
      bytesPerTenth[audioPts / (kClock / 10)] += audioFrame.size();
      audioPts += audio_->frameDuration27();
      ++result.audioFrames;
      haveAudio = audio_->next(audioFrame);
    }
    uint64_t read = video_.bytesRead() + (audio_ ? audio_->bytesRead() : 0);
    int percent = int(std::min<uint64_t>(100, read * 100 / totalBytes));
    if (percent != lastPercent) {
      // A full disc stops the run here rather than at the end.
      throwOnFailure(out.Error().empty(), out);
      if (progress) progress(percent / 100.0);
      lastPercent = percent;
    }
  }
  session.finish();
  throwOnFailure(out.Finish() && out.Publish(), out);
  result.sourcePackets = session.packets();
  result.endPts27 = video_.endPts27();
  result.peakStreamBitRate = peakBitRate(bytesPerTenth);
  return result;
}
