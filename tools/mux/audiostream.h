// Reads an AC-3 elementary stream frame by frame. Frames follow each other
// without gaps, so the presentation time of frame k is the start time plus
// k frame durations.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/ac3parser.h"

class TAc3Stream {
public:
  // Throws std::runtime_error naming the file when it cannot be read or
  // does not begin with an AC-3 sync frame.
  explicit TAc3Stream(const std::string& path);
  ~TAc3Stream();
  TAc3Stream(const TAc3Stream&) = delete;
  TAc3Stream& operator=(const TAc3Stream&) = delete;

  // The next whole frame; false at the end. A damaged stretch is skipped up
  // to the next sync frame and counted.
  bool next(std::vector<uint8_t>& frame);

  const TAc3Frame& format() const { return first_; }
  uint64_t frameDuration27() const { return uint64_t(27000000) * TAc3Frame::kSamples / first_.sampleRate; }
  uint32_t skippedStretches() const { return skipped_; }
  uint64_t bytesRead() const { return fileOffset_; }
  uint64_t fileSize() const { return fileSize_; }

private:
  bool ensure(size_t bytes);

  std::string path_;
  int fd_ = -1;
  std::vector<uint8_t> buffer_;
  size_t begin_ = 0;
  size_t end_ = 0;
  bool eof_ = false;
  uint64_t fileOffset_ = 0;
  uint64_t fileSize_ = 0;
  TAc3Frame first_;
  uint32_t skipped_ = 0;
};
