#include "mux/videostream.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <stdexcept>

namespace {

// Frames a picture may be displayed away from its decoding position in a
// conforming stream is bounded by the 16-frame picture buffer; twice that
// is looked at on each side.
constexpr size_t kReorderWindow = 32;
constexpr size_t kHeadroom = 512;  // PES header, delimiter and parameter sets
constexpr uint8_t kStartCode[4] = {0, 0, 0, 1};

uint8_t primaryPicType(uint8_t sliceTypes) {
  auto only = [&](std::initializer_list<ESliceType> allowed) {
    uint8_t mask = 0;
    for (ESliceType t : allowed) mask |= uint8_t(1 << int(t));
    return (sliceTypes & ~mask) == 0;
  };
  using S = ESliceType;
  if (only({S::I})) return 0;
  if (only({S::I, S::P})) return 1;
  if (only({S::I, S::P, S::B})) return 2;
  if (only({S::SI})) return 3;
  if (only({S::SI, S::SP})) return 4;
  if (only({S::I, S::SI})) return 5;
  if (only({S::I, S::SI, S::P, S::SP})) return 6;
  return 7;
}

bool startsNewAccessUnit(uint8_t type) {
  return type == 6 || type == 7 || type == 8 || type == 9 || (type >= 14 && type <= 18);
}

}  // namespace

TFrameRate parseFrameRate(const std::string& text) {
  char* end = nullptr;
  double fps = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0' || !(fps >= 1 && fps <= 300))
    throw std::runtime_error("invalid frame rate \"" + text + "\"");
  double ntsc = std::round(fps * 1.001);
  if (std::fabs(fps - ntsc / 1.001) < 0.002 && std::fabs(fps - std::round(fps)) > 0.002)
    return TFrameRate{uint32_t(ntsc) * 1000, 1001};
  uint32_t num = uint32_t(std::round(fps * 1000));
  uint32_t divisor = std::gcd(num, 1000u);
  return TFrameRate{num / divisor, 1000 / divisor};
}

TVideoStream::TVideoStream(const std::string& path, TFrameRate rate, bool repeatParamSets,
                           uint64_t firstPts27)
    : path_(path), reader_(path), rate_(rate), repeatParamSets_(repeatParamSets),
      firstPts27_(firstPts27) {
  fillWindow();
  if (window_.empty()) throw std::runtime_error(fail("holds no picture"));
}

std::string TVideoStream::fail(const std::string& what) const {
  return "\"" + path_ + "\": " + what;
}

bool TVideoStream::readNal(const uint8_t*& data, size_t& size) {
  if (haveNal_) {
    haveNal_ = false;
    data = nalData_;
    size = nalSize_;
    return true;
  }
  do {
    if (!reader_.next(data, size)) return false;
  } while (size == 0);
  return true;
}

void TVideoStream::appendNal(TPicture& picture, const uint8_t* data, size_t size) {
  // Three-byte start codes inside the frame, four before parameter sets.
  uint8_t type = nalType(data);
  bool longCode = type == 7 || type == 8 || picture.buffer.size() == kHeadroom;
  picture.buffer.insert(picture.buffer.end(), kStartCode + (longCode ? 0 : 1), kStartCode + 4);
  picture.buffer.insert(picture.buffer.end(), data, data + size);
}

// Reads one primary coded picture (a frame or a field) and the non-VCL NAL
// units before it. Returns false at the end of the stream.
bool TVideoStream::readPicture(TPicture& picture) {
  picture.buffer.clear();
  picture.buffer.reserve(kHeadroom + largestPicture_);  // avoids regrowing for each NAL unit
  picture.buffer.resize(kHeadroom);
  picture.sliceTypes = 0;
  picture.hasAud = picture.hasSps = picture.hasPps = false;
  bool seenSlice = false;
  std::string damage;  // why the slices read so far without a readable one could not be read
  const uint8_t* data;
  size_t size;
  while (readNal(data, size)) {
    uint8_t type = nalType(data);
    TH264SliceHeader slice;
    if (isVclNal(type)) {
      try {
        slice = params_.parseSlice(data, size);
      } catch (const std::runtime_error& e) {
        // Where delimiters mark where pictures begin (as on every AVCHD
        // camera), a slice whose header cannot be read is kept, as a
        // decoder would get it, with the picture being read: that picture
        // is timed by its other slices. Without them the slice could as
        // well begin the next picture, whose time would then be lost.
        if (!picture.hasAud) throw std::runtime_error(fail(std::string("bad slice: ") + e.what()));
        ++damagedSlices_;
        if (!seenSlice) damage = e.what();
        appendNal(picture, data, size);
        continue;
      }
    }
    bool startsPicture = startsNewAccessUnit(type) || (isVclNal(type) && slice.firstMb == 0);
    if (!seenSlice && !damage.empty() && startsPicture)
      throw std::runtime_error(fail("a picture has no readable slice header: " + damage));
    if (seenSlice && startsPicture) {
      haveNal_ = true;
      nalData_ = data;
      nalSize_ = size;
      largestPicture_ = std::max(largestPicture_, picture.buffer.size());
      return true;
    }
    try {
      if (type == 7) {
        const TH264Sps& sps = params_.addSps(data, size);
        rawSps_[sps.id].assign(data, data + size);
        picture.hasSps = true;
      } else if (type == 8) {
        const TH264Pps& pps = params_.addPps(data, size);
        rawPps_[pps.id].assign(data, data + size);
        picture.hasPps = true;
      }
    } catch (const std::runtime_error& e) {
      throw std::runtime_error(fail(std::string("bad parameter set: ") + e.what()));
    }
    if (type == 9) {
      picture.hasAud = true;  // replaced by the delimiter written in front
      continue;
    }
    if (isVclNal(type)) {
      if (!seenSlice) picture.slice = slice;
      seenSlice = true;
      picture.sliceTypes |= uint8_t(1 << int(slice.sliceType));
    }
    appendNal(picture, data, size);
  }
  largestPicture_ = std::max(largestPicture_, picture.buffer.size());
  if (!seenSlice && !damage.empty())
    throw std::runtime_error(fail("the last picture has no readable slice header: " + damage));
  return seenSlice;
}

bool TVideoStream::pairsWith(const TPicture& first, const TPicture& second) const {
  return isSecondField(first.slice, second.slice);
}

// Writes the access unit delimiter (and the parameter sets) into the
// headroom in front of the picture's data.
void TVideoStream::prependHeaders(TPicture& picture, bool withParamSets) {
  std::vector<uint8_t> front = {0, 0, 0, 1, 0x09,
                                uint8_t(primaryPicType(picture.sliceTypes) << 5 | 0x10)};
  if (withParamSets) {
    const TH264Pps* pps = params_.pps(picture.slice.ppsId);
    for (const std::vector<uint8_t>* raw : {&rawSps_[pps->spsId], &rawPps_[pps->id]}) {
      front.insert(front.end(), kStartCode, kStartCode + 4);
      front.insert(front.end(), raw->begin(), raw->end());
    }
  }
  if (front.size() > kHeadroom) {
    picture.buffer.insert(picture.buffer.begin() + kHeadroom, front.begin(), front.end());
    picture.start = kHeadroom;
  } else {
    picture.start = kHeadroom - front.size();
    std::memcpy(picture.buffer.data() + picture.start, front.data(), front.size());
  }
}

bool TVideoStream::readFrame(TPending& pending) {
  TPicture picture;
  if (havePicture_) {
    std::swap(picture, nextPicture_);
    havePicture_ = false;
  } else if (!readPicture(picture)) {
    return false;
  }
  const TH264Pps* pps = params_.pps(picture.slice.ppsId);
  const TH264Sps& sps = *params_.sps(pps->spsId);
  const uint32_t reorderLimit = sps.maxNumReorderFrames.value_or(0);
  if (!haveFirstSps_) firstSps_ = sps;
  haveFirstSps_ = true;
  picture.order = poc_.next(picture.slice, sps);
  bool intra = picture.sliceTypes == (1 << int(ESliceType::I));
  bool addParamSets = repeatParamSets_ && intra && !(picture.hasSps && picture.hasPps);
  prependHeaders(picture, addParamSets);

  int32_t poc = picture.order.poc;
  bool newSequence = picture.order.newSequence;
  TVideoFrame& frame = pending.frame;
  frame.intra = intra;
  frame.buffer = std::move(picture.buffer);
  frame.headroom = picture.start;

  if (picture.slice.fieldPic && readPicture(nextPicture_)) {
    const TPictureOrder second = [&] {
      const TH264Pps* p2 = params_.pps(nextPicture_.slice.ppsId);
      // Order counts of the second field only when it belongs to this frame.
      return pairsWith(picture, nextPicture_) ? poc_.next(nextPicture_.slice, *params_.sps(p2->spsId))
                                               : TPictureOrder{};
    }();
    if (pairsWith(picture, nextPicture_)) {
      poc = std::min(poc, second.poc);
      prependHeaders(nextPicture_, false);
      frame.buffer.insert(frame.buffer.end(),
                          nextPicture_.buffer.begin() + std::ptrdiff_t(nextPicture_.start),
                          nextPicture_.buffer.end());
    } else {
      havePicture_ = true;
    }
  }
  if (newSequence && segmentCount_ > 0) {
    ++segment_;
    segmentCount_ = 0;
  }
  pending.poc = poc;
  pending.segment = segment_;
  pending.indexInSegment = segmentCount_++;
  pending.reorderLimit = reorderLimit;
  return true;
}

bool TVideoStream::fillWindow() {
  while (!endOfStream_ && window_.size() <= kReorderWindow) {
    TPending pending;
    if (!readFrame(pending)) {
      endOfStream_ = true;
      break;
    }
    window_.push_back(std::move(pending));
  }
  return !window_.empty();
}

// Position in presentation order, within its order count sequence, of the
// frame at windowIndex: frames far before it are taken as shown before it,
// frames far after it as shown after it.
uint64_t TVideoStream::displayRank(size_t windowIndex) const {
  const TPending& me = window_[windowIndex];
  uint64_t rank = me.indexInSegment;
  size_t seen = 0;
  for (auto it = history_.rbegin(); it != history_.rend() && seen < kReorderWindow; ++it, ++seen)
    if (it->segment == me.segment && it->poc > me.poc) --rank;
  for (size_t i = 0; i < window_.size(); ++i) {
    if (i == windowIndex || window_[i].segment != me.segment) continue;
    if (i < windowIndex && window_[i].poc > me.poc) --rank;
    if (i > windowIndex && window_[i].poc < me.poc) ++rank;
  }
  return rank;
}

// How many frames of the segment starting at the window's front are
// decoded ahead of their place in presentation order, at most: what the
// window shows, or more where the parameter set says so.
uint64_t TVideoStream::reorderDepth(uint64_t segment) const {
  constexpr uint64_t kPictureBuffer = 16;  // no conforming stream reorders more
  uint64_t depth = std::min<uint64_t>(window_.front().reorderLimit, kPictureBuffer);
  for (size_t i = 0; i < window_.size(); ++i) {
    if (window_[i].segment != segment) continue;
    int64_t ahead = int64_t(window_[i].indexInSegment) - int64_t(displayRank(i));
    depth = std::max<uint64_t>(depth, uint64_t(std::max<int64_t>(ahead, 0)));
  }
  return depth;
}

// Presentation follows the order counts; decoding runs `decodeDelay_`
// frames ahead and steps by exactly one frame duration, so that a player
// never has to decode two pictures closer together than one frame.
void TVideoStream::assignTimes(TPending& pending) {
  const int64_t duration = int64_t(rate_.frameDuration27());
  if (pending.segment != timedSegment_) {
    // A new order count sequence is shown right after the previous one.
    segmentStart27_ = anyTimed_ ? segmentStart27_ + framesInTimedSegment_ * uint64_t(duration)
                                : firstPts27_;
    timedSegment_ = pending.segment;
    framesInTimedSegment_ = 0;
    uint64_t depth = reorderDepth(pending.segment);
    if (depth > decodeDelay_) {
      catchUpStep27_ = duration / int64_t(depth - decodeDelay_ + 1);
      decodeDelay_ = depth;
    }
  }
  int64_t pts = int64_t(segmentStart27_) + int64_t(displayRank(0)) * duration;
  int64_t dts = int64_t(segmentStart27_) +
                (int64_t(pending.indexInSegment) - int64_t(decodeDelay_)) * duration;
  if (dts > pts) {
    // Deeper reordering than the window showed: decode further ahead from here on.
    int64_t more = (dts - pts + duration - 1) / duration;
    decodeDelay_ += uint64_t(more);
    dts -= more * duration;
    catchUpStep27_ = duration / (more + 1);
  }
  if (anyTimed_ && dts < int64_t(lastDts27_) + duration) {
    dts = std::max(dts, int64_t(lastDts27_) + std::max<int64_t>(catchUpStep27_, 1));
  }
  if (dts > pts) {
    ++timingRepairs_;
    dts = std::max(pts, int64_t(lastDts27_) + 1);
  }
  pending.frame.pts27 = uint64_t(pts);
  pending.frame.dts27 = uint64_t(dts);
  lastDts27_ = uint64_t(dts);
  anyTimed_ = true;
  ++framesInTimedSegment_;
  endPts27_ = std::max(endPts27_, uint64_t(pts + duration));
}

bool TVideoStream::next(TVideoFrame& frame) {
  if (!fillWindow()) return false;
  assignTimes(window_.front());
  TPending& front = window_.front();
  history_.push_back(TOrderMark{front.poc, front.segment});
  if (history_.size() > kReorderWindow) history_.pop_front();
  frame = std::move(front.frame);
  window_.pop_front();
  return true;
}
