// One camcorder clip opened with libavformat: checks that it is an MPEG
// transport stream with H.264 video, picks its AC-3 audio, and hands out
// its packets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "silentframe.h"

struct AVFormatContext;
struct AVPacket;
struct AVStream;

namespace demux {

// 188 or 192 when `head` starts like a transport stream of plain or
// time-stamped packets (sync bytes in every packet seen), else 0.
int DetectTsPacketSize(const uint8_t* head, size_t size);

class TClipSource {
public:
  TClipSource() = default;
  ~TClipSource();
  TClipSource(const TClipSource&) = delete;
  TClipSource& operator=(const TClipSource&) = delete;

  // False with Error() set when the clip cannot be demuxed.
  bool Open(const std::string& path);
  void Close();

  const std::string& Error() const { return FError; }
  uint64_t FileSize() const { return FFileSize; }
  // The file ends inside a transport packet: it was cut short.
  bool EndsInsidePacket() const { return FPacketSize > 0 && FFileSize % FPacketSize != 0; }
  bool HasAudio() const { return FAudioIndex >= 0; }
  const TAudioFormat& AudioFormat() const { return FAudioFormat; }
  int VideoIndex() const { return FVideoIndex; }
  int AudioIndex() const { return FAudioIndex; }
  AVStream* Video() const;
  AVStream* Audio() const;
  // Video parameter sets found while probing (Annex B), may be empty.
  const uint8_t* VideoExtradata() const;
  int VideoExtradataSize() const;

  // 0 for a packet, AVERROR_EOF at the end, another AVERROR on failure.
  int Read(AVPacket* packet);
  uint64_t Position() const;  // bytes of the file read so far

private:
  bool Fail(const std::string& text);
  bool FindStreams();

  AVFormatContext* FContext = nullptr;
  std::string FError;
  uint64_t FFileSize = 0;
  int FPacketSize = 0;
  int FVideoIndex = -1;
  int FAudioIndex = -1;
  TAudioFormat FAudioFormat;
};

}  // namespace demux
