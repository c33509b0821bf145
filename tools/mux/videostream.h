// Reads an H.264 Annex B stream and hands out its frames (a frame picture
// or a complementary field pair) in decoding order with presentation and
// decoding times computed from the stream's own picture order counts at
// the given frame rate. Every frame starts with an access unit delimiter;
// with `repeatParamSets`, every intra frame carries the parameter sets it
// uses, copied from the last ones the stream itself sent with those ids.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "common/annexbreader.h"
#include "media/h264parser.h"
#include "media/h264poc.h"

struct TFrameRate {
  uint32_t num = 25;
  uint32_t den = 1;
  uint64_t frameDuration27() const { return uint64_t(27000000) * den / num; }
};

struct TVideoFrame {
  std::vector<uint8_t> buffer;  // `headroom` free bytes, then the Annex B data
  size_t headroom = 0;
  uint64_t pts27 = 0;
  uint64_t dts27 = 0;
  bool intra = false;  // its first picture is I or IDR: an entry point

  const uint8_t* data() const { return buffer.data() + headroom; }
  size_t size() const { return buffer.size() - headroom; }
};

class TVideoStream {
public:
  // Opens the file and reads the first frame's headers; throws
  // std::runtime_error naming the file for unreadable or invalid input.
  TVideoStream(const std::string& path, TFrameRate rate, bool repeatParamSets,
               uint64_t firstPts27);

  bool next(TVideoFrame& frame);

  // The parameters of the first picture's sequence parameter set.
  const TH264Sps& firstSps() const { return firstSps_; }
  // End of presentation of everything handed out so far.
  uint64_t endPts27() const { return endPts27_; }
  uint64_t firstPts27() const { return firstPts27_; }
  uint64_t bytesRead() const { return reader_.bytesRead(); }
  uint64_t fileSize() const { return reader_.fileSize(); }
  // Frames whose decoding time had to be moved past its natural place.
  uint32_t timingRepairs() const { return timingRepairs_; }
  // Slices whose header could not be read, kept in the picture they came in.
  uint32_t damagedSlices() const { return damagedSlices_; }

private:
  struct TPicture {
    std::vector<uint8_t> buffer;  // headroom, then the picture's NAL units
    size_t start = 0;             // where the written data begins
    TH264SliceHeader slice;
    TPictureOrder order;
    uint8_t sliceTypes = 0;  // bit per slice type seen
    bool hasAud = false;
    bool hasSps = false;
    bool hasPps = false;
  };
  struct TPending {
    TVideoFrame frame;
    int32_t poc = 0;
    uint64_t segment = 0;
    uint64_t indexInSegment = 0;
    uint32_t reorderLimit = 0;  // max_num_reorder_frames of its SPS, 0 when absent
  };

  bool readNal(const uint8_t*& data, size_t& size);
  bool readPicture(TPicture& picture);
  void appendNal(TPicture& picture, const uint8_t* data, size_t size);
  bool readFrame(TPending& pending);
  bool pairsWith(const TPicture& first, const TPicture& second) const;
  void prependHeaders(TPicture& picture, bool withParamSets);
  bool fillWindow();
  uint64_t displayRank(size_t windowIndex) const;
  uint64_t reorderDepth(uint64_t segment) const;
  void assignTimes(TPending& pending);
  std::string fail(const std::string& what) const;

  std::string path_;
  TAnnexBReader reader_;
  TFrameRate rate_;
  bool repeatParamSets_;
  TH264ParamSets params_;
  std::vector<std::vector<uint8_t>> rawSps_ = std::vector<std::vector<uint8_t>>(32);
  std::vector<std::vector<uint8_t>> rawPps_ = std::vector<std::vector<uint8_t>>(256);
  TH264PocCalculator poc_;
  TH264Sps firstSps_;
  bool haveFirstSps_ = false;

  // One NAL unit read ahead (the first of the next picture).
  bool haveNal_ = false;
  const uint8_t* nalData_ = nullptr;
  size_t nalSize_ = 0;
  // One picture read ahead (to pair fields).
  bool havePicture_ = false;
  TPicture nextPicture_;
  bool endOfStream_ = false;
  size_t largestPicture_ = 0;

  // Frames read but not yet timed, and the order counts of recent ones.
  std::deque<TPending> window_;
  struct TOrderMark {
    int32_t poc;
    uint64_t segment;
  };
  std::deque<TOrderMark> history_;  // the last frames handed out
  uint64_t segment_ = 0;
  uint64_t segmentCount_ = 0;   // frames read in the current segment
  uint64_t timedSegment_ = UINT64_MAX;
  uint64_t segmentStart27_ = 0;  // presentation start of the segment being timed
  // Frames decoding runs ahead of presentation: the deepest reordering met
  // so far. Decoding times step by one frame duration, except for a short
  // catch-up (steps of catchUpStep27_) where a deeper reordering starts.
  uint64_t decodeDelay_ = 0;
  int64_t catchUpStep27_ = 0;
  uint64_t framesInTimedSegment_ = 0;
  uint64_t firstPts27_;
  uint64_t endPts27_ = 0;
  uint64_t lastDts27_ = 0;
  bool anyTimed_ = false;
  uint32_t timingRepairs_ = 0;
  uint32_t damagedSlices_ = 0;
};

TFrameRate parseFrameRate(const std::string& text);
