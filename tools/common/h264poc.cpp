#include "common/h264poc.h"

#include <algorithm>

namespace {

// After operation 5 the picture's counts are taken relative to itself.
void applyMmco5(TPictureOrder& order, const TH264SliceHeader& slice) {
  int32_t temp = slice.fieldPic ? (slice.bottomField ? order.bottom : order.top)
                                : std::min(order.top, order.bottom);
  order.top -= temp;
  order.bottom -= temp;
}

void finish(TPictureOrder& order, const TH264SliceHeader& slice) {
  if (slice.hasMmco5) applyMmco5(order, slice);
  order.poc = slice.fieldPic ? (slice.bottomField ? order.bottom : order.top)
                             : std::min(order.top, order.bottom);
  order.newSequence = slice.idr() || slice.hasMmco5;
}

}  // namespace

TPictureOrder TH264PocCalculator::next(const TH264SliceHeader& slice, const TH264Sps& sps) {
  return sps.pocType == 0 ? type0(slice, sps) : type1or2(slice, sps);
}

TPictureOrder TH264PocCalculator::type0(const TH264SliceHeader& slice, const TH264Sps& sps) {
  int32_t prevMsb = slice.idr() ? 0 : prevPocMsb_;
  int32_t prevLsb = slice.idr() ? 0 : prevPocLsb_;
  int32_t maxLsb = int32_t(1) << sps.log2MaxPocLsb;
  int32_t lsb = int32_t(slice.pocLsb);
  int32_t msb = prevMsb;
  if (lsb < prevLsb && prevLsb - lsb >= maxLsb / 2)
    msb = prevMsb + maxLsb;
  else if (lsb > prevLsb && lsb - prevLsb > maxLsb / 2)
    msb = prevMsb - maxLsb;
  TPictureOrder order;
  order.top = msb + lsb;
  order.bottom = slice.fieldPic ? msb + lsb : order.top + slice.deltaPocBottom;
  finish(order, slice);
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

int32_t TH264PocCalculator::frameNumOffset(const TH264SliceHeader& slice,
                                           const TH264Sps& sps) const {
  if (slice.idr()) return 0;
  int32_t prevOffset = prevMmco5_ ? 0 : prevFrameNumOffset_;
  if (prevFrameNum_ > slice.frameNum) return prevOffset + (int32_t(1) << sps.log2MaxFrameNum);
  return prevOffset;
}

TPictureOrder TH264PocCalculator::type1or2(const TH264SliceHeader& slice, const TH264Sps& sps) {
  int32_t offset = frameNumOffset(slice, sps);
  TPictureOrder order;
  if (sps.pocType == 2) {
    int32_t temp = 0;
    if (!slice.idr()) temp = 2 * (offset + int32_t(slice.frameNum)) - (slice.nalRefIdc == 0 ? 1 : 0);
    order.top = order.bottom = temp;
  } else {
    int32_t cycle = int32_t(sps.offsetForRefFrame.size());
    int32_t absFrameNum = cycle != 0 ? offset + int32_t(slice.frameNum) : 0;
    if (slice.nalRefIdc == 0 && absFrameNum > 0) --absFrameNum;
    int32_t expected = 0;
    if (absFrameNum > 0) {
      int32_t deltaPerCycle = 0;
      for (int32_t d : sps.offsetForRefFrame) deltaPerCycle += d;
      int32_t cycleCount = (absFrameNum - 1) / cycle;
      int32_t inCycle = (absFrameNum - 1) % cycle;
      expected = cycleCount * deltaPerCycle;
      for (int32_t i = 0; i <= inCycle; ++i) expected += sps.offsetForRefFrame[size_t(i)];
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
  finish(order, slice);
  prevFrameNumOffset_ = offset;
  prevFrameNum_ = slice.hasMmco5 ? 0 : slice.frameNum;
  prevMmco5_ = slice.hasMmco5;
  return order;
}
