#include "mux/m2tsmuxer.h"

#include <algorithm>
#include <map>
#include <optional>

#include "common/outputfile.h"
#include "common/tspacketwriter.h"

namespace {

constexpr uint64_t kClock = 27000000;
constexpr uint64_t kPcrInterval = kClock / 25;   // 40 ms
constexpr uint64_t kPsiInterval = kClock / 10;   // 100 ms
constexpr uint64_t kAudioLeadMax = kClock / 5;   // audio buffers are small
constexpr uint8_t kVideoStreamId = 0xE0;
constexpr uint8_t kPrivateStream1 = 0xBD;

std::vector<uint8_t> registration(const char* id) {
  return {0x05, 0x04, uint8_t(id[0]), uint8_t(id[1]), uint8_t(id[2]), uint8_t(id[3])};
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
  TSession(TOutputFile& out, const TMuxSettings& settings, bool withAudio)
      : writer_(out),
        interval_(kTsPacketSize * 8 * kClock / settings.muxRate),
        pcrPid_(settings.pcrOnOwnPid ? kPcrPid : kVideoPid) {
    std::vector<TPmtStream> streams = {{kStreamTypeH264, kVideoPid, {}}};
    if (withAudio) streams.push_back({kStreamTypeAc3, kAudioPid, registration("AC-3")});
    pat_ = makePatSection(1, 1, kPmtPid);
    pmt_ = makePmtSection(1, pcrPid_, registration("HDMV"), streams);
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
      writer_.writeSection(0, pat_, t);
      t += interval_;
      writer_.writeSection(kPmtPid, pmt_, t);
      t += interval_;
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

  // Writes one PES packet; returns the source packet number of its first
  // packet and the time of its last.
  std::pair<uint32_t, uint64_t> writePes(uint16_t pid, const std::vector<uint8_t>& header,
                                         const uint8_t* payload, size_t size, uint64_t earliest,
                                         bool entryPoint) {
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
    return {first, t};
  }

private:
  TTsPacketWriter writer_;
  uint64_t interval_;
  uint16_t pcrPid_;
  std::vector<uint8_t> pat_, pmt_;
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
  TOutputFile out(path);
  TSession session(out, settings_, audio_ != nullptr);
  TMuxResult result;
  result.pcrPid = session.pcrPid();
  result.firstPts27 = video_.firstPts27();
  const uint64_t vbv = uint64_t(settings_.vbvLenMs) * (kClock / 1000);
  const uint64_t audioLead = std::min(vbv, kAudioLeadMax);
  const uint64_t totalBytes =
      std::max<uint64_t>(1, video_.fileSize() + (audio_ ? audio_->fileSize() : 0));
  std::map<uint64_t, uint64_t> bytesPerTenth;  // stream bytes by tenth of a second

  TVideoFrame frame;
  bool haveFrame = video_.next(frame);
  std::vector<uint8_t> audioFrame;
  bool haveAudio = audio_ && audio_->next(audioFrame);
  uint64_t audioPts = result.firstPts27;
  int lastPercent = -1;

  while (haveFrame || haveAudio) {
    uint64_t videoEarliest = haveFrame ? (frame.dts27 > vbv ? frame.dts27 - vbv : 0) : UINT64_MAX;
    uint64_t audioEarliest = haveAudio ? audioPts - std::min(audioPts, audioLead) : UINT64_MAX;
    if (haveFrame && videoEarliest <= audioEarliest) {
      // Every video PES carries its decoding time so no reader has to guess it.
      std::vector<uint8_t> header =
          makePesHeader(kVideoStreamId, frame.pts27 / 300, frame.dts27 / 300, frame.size());
      auto [spn, lastTime] = session.writePes(kVideoPid, header, frame.data(), frame.size(),
                                              videoEarliest, frame.intra);
      if (frame.intra) result.entryPoints.push_back({frame.pts27 / 300, spn, uint32_t(frame.size())});
      if (lastTime > frame.dts27) ++result.lateFrames;
      bytesPerTenth[frame.dts27 / (kClock / 10)] += frame.size();
      ++result.videoFrames;
      haveFrame = video_.next(frame);
    } else {
      std::vector<uint8_t> header = makePesHeader(kPrivateStream1, audioPts / 300, std::nullopt,
                                                  audioFrame.size());
      session.writePes(kAudioPid, header, audioFrame.data(), audioFrame.size(), audioEarliest, false);
      bytesPerTenth[audioPts / (kClock / 10)] += audioFrame.size();
      audioPts += audio_->frameDuration27();
      ++result.audioFrames;
      haveAudio = audio_->next(audioFrame);
    }
    uint64_t read = video_.bytesRead() + (audio_ ? audio_->bytesRead() : 0);
    int percent = int(std::min<uint64_t>(100, read * 100 / totalBytes));
    if (percent != lastPercent && progress) {
      progress(percent / 100.0);
      lastPercent = percent;
    }
  }
  out.close();
  result.sourcePackets = session.packets();
  result.endPts27 = video_.endPts27();
  result.peakStreamBitRate = peakBitRate(bytesPerTenth);
  return result;
}
