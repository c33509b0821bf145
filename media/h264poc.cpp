#include "media/h264poc.h"

#include <algorithm>

namespace {

// Top and bottom counts before operation 5, in 64 bits.
struct TWideOrder
{
    int64_t Top = 0;
    int64_t Bottom = 0;
};

int64_t PictureCount(const TWideOrder &order, const TH264SliceHeader &slice)
{
    return slice.FieldPic ? (slice.BottomField ? order.Bottom : order.Top)
                          : std::min(order.Top, order.Bottom);
}

// After operation 5 the picture's counts are taken relative to itself.
TPictureOrder Finish(TWideOrder wide, const TH264SliceHeader &slice)
{
    if (slice.HasMmco5) {
        int64_t temp = PictureCount(wide, slice);
        wide.Top -= temp;
        wide.Bottom -= temp;
    }
    TPictureOrder order;
    order.Top = int32_t(wide.Top);
    order.Bottom = int32_t(wide.Bottom);
    order.Poc = int32_t(PictureCount(wide, slice));
    order.NewSequence = slice.Idr() || slice.HasMmco5;
    return order;
}

}  // namespace

TPictureOrder TH264PocCalculator::Next(const TH264SliceHeader &slice, const TH264Sps &sps)
{
    return sps.PocType == 0 ? Type0(slice, sps) : Type1or2(slice, sps);
}

TPictureOrder TH264PocCalculator::Type0(const TH264SliceHeader &slice, const TH264Sps &sps)
{
    int64_t prevMsb = slice.Idr() ? 0 : FPrevPocMsb;
    int64_t prevLsb = slice.Idr() ? 0 : FPrevPocLsb;
    int64_t maxLsb = int64_t(1) << sps.Log2MaxPocLsb;
    int64_t lsb = slice.PocLsb;
    int64_t msb = prevMsb;
    if (lsb < prevLsb && prevLsb - lsb >= maxLsb / 2)
        msb = prevMsb + maxLsb;
    else if (lsb > prevLsb && lsb - prevLsb > maxLsb / 2)
        msb = prevMsb - maxLsb;
    TWideOrder wide;
    wide.Top = msb + lsb;
    wide.Bottom = slice.FieldPic ? msb + lsb : wide.Top + slice.DeltaPocBottom;
    TPictureOrder order = Finish(wide, slice);
    if (slice.NalRefIdc != 0) {
        if (slice.HasMmco5) {
            FPrevPocMsb = 0;
            FPrevPocLsb = (slice.FieldPic && slice.BottomField) ? 0 : order.Top;
        } else {
            FPrevPocMsb = msb;
            FPrevPocLsb = lsb;
        }
    }
    return order;
}

int64_t TH264PocCalculator::FrameNumOffset(const TH264SliceHeader &slice, const TH264Sps &sps) const
{
    if (slice.Idr())
        return 0;
    int64_t prevOffset = FPrevMmco5 ? 0 : FPrevFrameNumOffset;
    if (FPrevFrameNum > slice.FrameNum)
        return prevOffset + (int64_t(1) << sps.Log2MaxFrameNum);
    return prevOffset;
}

TPictureOrder TH264PocCalculator::Type1or2(const TH264SliceHeader &slice, const TH264Sps &sps)
{
    int64_t offset = FrameNumOffset(slice, sps);
    TWideOrder order;
    if (sps.PocType == 2) {
        int64_t temp = 0;
        if (!slice.Idr())
            temp = 2 * (offset + slice.FrameNum) - (slice.NalRefIdc == 0 ? 1 : 0);
        order.Top = order.Bottom = temp;
    } else {
        int64_t cycle = int64_t(sps.OffsetForRefFrame.size());
        int64_t absFrameNum = cycle != 0 ? offset + slice.FrameNum : 0;
        if (slice.NalRefIdc == 0 && absFrameNum > 0)
            --absFrameNum;
        int64_t expected = 0;
        if (absFrameNum > 0) {
            int64_t deltaPerCycle = 0;
            for (int32_t d : sps.OffsetForRefFrame)
                deltaPerCycle += d;
            int64_t cycleCount = (absFrameNum - 1) / cycle;
            int64_t inCycle = (absFrameNum - 1) % cycle;
            // Worked modulo 2^64 (only the low 32 bits are kept): a damaged stream
            // can make the product larger than 64 bits.
            expected = int64_t(uint64_t(cycleCount) * uint64_t(deltaPerCycle));
            for (int64_t i = 0; i <= inCycle; ++i)
                expected += sps.OffsetForRefFrame[size_t(i)];
        }
        if (slice.NalRefIdc == 0)
            expected += sps.OffsetForNonRefPic;
        if (!slice.FieldPic) {
            order.Top = expected + slice.DeltaPoc[0];
            order.Bottom = order.Top + sps.OffsetForTopToBottomField + slice.DeltaPoc[1];
        } else if (!slice.BottomField) {
            order.Top = order.Bottom = expected + slice.DeltaPoc[0];
        } else {
            order.Top = order.Bottom = expected + sps.OffsetForTopToBottomField + slice.DeltaPoc[0];
        }
    }
    TPictureOrder result = Finish(order, slice);
    FPrevFrameNumOffset = offset;
    FPrevFrameNum = slice.HasMmco5 ? 0 : slice.FrameNum;
    FPrevMmco5 = slice.HasMmco5;
    return result;
}
