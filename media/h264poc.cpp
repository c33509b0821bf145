#include "media/h264poc.h"

#include <algorithm>

namespace {

// Top and bottom counts before operation 5, in 64 bits.
struct TWideOrder {
  int64_t top = 0;
  int64_t bottom = 0;
};

int64_t pictureCount(const TWideOrder& order, const TH264SliceHeader& slice) {
  return slice.fieldPic ? (slice.bottomField ? order.bottom : order.top) : std::min(order.top, order.bottom);
}

// After operation 5 the picture's counts are taken relative to itself.
TPictureOrder finish(TWideOrder wide, const TH264SliceHeader& slice) {
  if (slice.hasMmco5) {
    int64_t temp = pictureCount(wide, slice);
    wide.top -= temp;
    wide.bottom -= temp;
  }
  TPictureOrder order;
  order.top = int32_t(wide.top);
  order.bottom = int32_t(wide.bottom);
  order.poc = int32_t(pictureCount(wide, slice));
  order.newSequence = slice.idr() || slice.hasMmco5;
  return order;
}

}  // namespace

TPictureOrder TH264PocCalculator::next(const TH264SliceHeader& slice, const TH264Sps& sps) {
  return sps.pocType == 0 ? type0(slice, sps) : type1or2(slice, sps);
}

TPictureOrder TH264PocCalculator::type0(const TH264SliceHeader& slice, const TH264Sps& sps) {
  int64_t prevMsb = slice.idr() ? 0 : prevPocMsb_;
  int64_t prevLsb = slice.idr() ? 0 : prevPocLsb_;
  int64_t maxLsb = int64_t(1) << sps.log2MaxPocLsb;
  int64_t lsb = slice.pocLsb;
  int64_t msb = prevMsb;
  if (lsb < prevLsb && prevLsb - lsb >= maxLsb / 2)
    msb = prevMsb + maxLsb;
  else if (lsb > prevLsb && lsb - prevLsb > maxLsb / 2)
    msb = prevMsb - maxLsb;
  TWideOrder wide;
  wide.top = msb + lsb;
  wide.bottom = slice.fieldPic ? msb + lsb : wide.top + slice.deltaPocBottom;
  TPictureOrder order = finish(wide, slice);
  if (slice.nalRefIdc != 0) {
    if (slice.hasMmco5) {
      prevPocMsb_ = 0;
      prevPocLsb_ = (slice.fieldPic && slice.bottomField) ? 0 : order.top;
    } else {
      prevPocMsb_ = msb;
      prevPocLsb_ = lsb;
    }
  }
  return order;
}

int64_t TH264PocCalculator::frameNumOffset(const TH264SliceHeader& slice,
                                           const TH264Sps& sps) const {
  if (slice.idr()) return 0;
  int64_t prevOffset = prevMmco5_ ? 0 : prevFrameNumOffset_;
  if (prevFrameNum_ > slice.frameNum) return prevOffset + (int64_t(1) << sps.log2MaxFrameNum);
  return prevOffset;
}

TPictureOrder TH264PocCalculator::type1or2(const TH264SliceHeader& slice, const TH264Sps& sps) {
  int64_t offset = frameNumOffset(slice, sps);
  TWideOrder order;
  if (sps.pocType == 2) {
    int64_t temp = 0;
    if (!slice.idr()) temp = 2 * (offset + slice.frameNum) - (slice.nalRefIdc == 0 ? 1 : 0);
    order.top = order.bottom = temp;
  } else {
    int64_t cycle = int64_t(sps.offsetForRefFrame.size());
    int64_t absFrameNum = cycle != 0 ? offset + slice.frameNum : 0;
    if (slice.nalRefIdc == 0 && absFrameNum > 0) --absFrameNum;
    int64_t expected = 0;
    if (absFrameNum > 0) {
      int64_t deltaPerCycle = 0;
      for (int32_t d : sps.offsetForRefFrame) deltaPerCycle += d;
      int64_t cycleCount = (absFrameNum - 1) / cycle;
      int64_t inCycle = (absFrameNum - 1) % cycle;
      // Worked modulo 2^64 (only the low 32 bits are kept): a damaged stream
      // can make the product larger than 64 bits.
      expected = int64_t(uint64_t(cycleCount) * uint64_t(deltaPerCycle));
      for (int64_t i = 0; i <= inCycle; ++i) expected += sps.offsetForRefFrame[size_t(i)];
    }
    if (slice.nalRefIdc == 0) expected += sps.offsetForNonRefPic;
    if (!slice.fieldPic) {
      order.top = expected + slice.deltaPoc[0];
      order.bottom = order.top + sps.offsetForTopToBottomField + slice.deltaPoc[1];
    } else if (!slice.bottomField) {
      order.top = order.bottom = expected + slice.deltaPoc[0];
    } else {
      order.top = order.bottom = expected + sps.offsetForTopToBottomField + slice.deltaPoc[0];
    }
  }
  TPictureOrder result = finish(order, slice);
  prevFrameNumOffset_ = offset;
  prevFrameNum_ = slice.hasMmco5 ? 0 : slice.frameNum;
  prevMmco5_ = slice.hasMmco5;
  return result;
}
