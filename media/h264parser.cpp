#include "media/h264parser.h"

#include <stdexcept>
#include <string>

#include "media/bitreader.h"

namespace {

// Slice headers are short; a longer prefix is unescaped only when the
// first one runs out (long weight tables).
constexpr size_t kSliceHeaderBytes = 96;

// Largest picture any level allows, in macroblocks, and in macroblocks
// across or down.
constexpr uint32_t kMaxFrameMbs = 139264;
constexpr uint32_t kMaxMbsAcross = 1055;

// Exp-Golomb values checked against the range the syntax allows: a value
// outside it is damage, and trusting it could make a loop or a shift run
// away.
uint32_t ueUpTo(TBitReader& r, uint32_t max, const char* what) {
  uint32_t value = r.ue();
  if (value > max) throw std::runtime_error(std::string("invalid ") + what);
  return value;
}

int32_t seWithin(TBitReader& r, int32_t min, int32_t max, const char* what) {
  int32_t value = r.se();
  if (value < min || value > max) throw std::runtime_error(std::string("invalid ") + what);
  return value;
}

void skipScalingList(TBitReader& r, int size) {
  int32_t last = 8, next = 8;
  for (int j = 0; j < size; ++j) {
    if (next != 0) next = (last + seWithin(r, -128, 127, "scaling list") + 256) % 256;
    last = next == 0 ? last : next;
  }
}

void skipHrd(TBitReader& r) {
  uint32_t count = ueUpTo(r, 31, "HRD parameters") + 1;
  r.bits(8);  // bit rate and cpb size scales
  for (uint32_t i = 0; i < count; ++i) {
    r.ue();
    r.ue();
    r.flag();
  }
  r.bits(20);  // four delay and offset lengths
}

void parseVui(TBitReader& r, TH264Sps& sps) {
  if (r.flag() && r.bits(8) == 255) r.bits(32);  // aspect ratio, extended SAR
  if (r.flag()) r.flag();                          // overscan
  if (r.flag()) {                                  // video signal type
    r.bits(4);
    if (r.flag()) r.bits(24);
  }
  if (r.flag()) {  // chroma location
    r.ue();
    r.ue();
  }
  if (r.flag()) {  // timing
    sps.numUnitsInTick = r.bits(32);
    sps.timeScale = r.bits(32);
    r.flag();
  }
  bool nalHrd = r.flag();
  if (nalHrd) skipHrd(r);
  bool vclHrd = r.flag();
  if (vclHrd) skipHrd(r);
  if (nalHrd || vclHrd) r.flag();
  r.flag();  // pic_struct_present_flag
  if (r.flag()) {  // bitstream restriction
    r.flag();
    r.ue();
    r.ue();
    r.ue();
    r.ue();
    sps.maxNumReorderFrames = ueUpTo(r, 16, "reorder depth");
    r.ue();
  }
}

bool hasChromaFormat(uint8_t profile) {
  switch (profile) {
    case 100: case 110: case 122: case 244: case 44: case 83: case 86:
    case 118: case 128: case 138: case 139: case 134: case 135:
      return true;
    default:
      return false;
  }
}

void skipRefPicListModification(TBitReader& r) {
  if (!r.flag()) return;
  for (;;) {
    uint32_t idc = r.ue();
    if (idc == 3) return;
    if (idc > 5) throw std::runtime_error("invalid reference list modification");
    ueUpTo(r, 131071, "reference list modification");
  }
}

void skipPredWeightTable(TBitReader& r, const TH264Sps& sps, uint32_t l0, uint32_t l1, bool b) {
  ueUpTo(r, 7, "luma weight denominator");
  bool chroma = sps.chromaArrayType() != 0;
  if (chroma) ueUpTo(r, 7, "chroma weight denominator");
  for (int list = 0; list < (b ? 2 : 1); ++list) {
    for (uint32_t i = 0; i < (list == 0 ? l0 : l1); ++i) {
      if (r.flag()) {
        seWithin(r, -128, 127, "luma weight");
        seWithin(r, -128, 127, "luma offset");
      }
      if (chroma && r.flag()) {
        for (int j = 0; j < 4; ++j) seWithin(r, -512, 511, "chroma weight");
      }
    }
  }
}

// Returns true when the marking holds memory_management_control_operation 5.
bool parseDecRefPicMarking(TBitReader& r, bool idr) {
  if (idr) {
    r.bits(2);
    return false;
  }
  if (!r.flag()) return false;
  bool mmco5 = false;
  for (;;) {
    uint32_t op = r.ue();
    if (op == 0) return mmco5;
    if (op > 6) throw std::runtime_error("invalid memory management operation");
    if (op == 1 || op == 3) r.ue();
    if (op == 2) r.ue();
    if (op == 3 || op == 6) r.ue();
    if (op == 4) r.ue();
    if (op == 5) mmco5 = true;
  }
}

}  // namespace

TH264Sps parseSps(const uint8_t* nal, size_t size) {
  std::vector<uint8_t> rbsp = unescapeNal(nal + 1, size > 0 ? size - 1 : 0);
  TBitReader r(rbsp.data(), rbsp.size());
  TH264Sps sps;
  sps.profileIdc = uint8_t(r.bits(8));
  r.bits(8);
  sps.levelIdc = uint8_t(r.bits(8));
  sps.id = r.ue();
  if (sps.id > 31) throw std::runtime_error("invalid sequence parameter set id");
  if (hasChromaFormat(sps.profileIdc)) {
    sps.chromaFormatIdc = ueUpTo(r, 3, "chroma format");
    if (sps.chromaFormatIdc == 3) sps.separateColourPlane = r.flag();
    ueUpTo(r, 6, "luma bit depth");
    ueUpTo(r, 6, "chroma bit depth");
    r.flag();
    if (r.flag()) {
      for (int i = 0; i < (sps.chromaFormatIdc != 3 ? 8 : 12); ++i)
        if (r.flag()) skipScalingList(r, i < 6 ? 16 : 64);
    }
  }
  sps.log2MaxFrameNum = r.ue() + 4;
  sps.pocType = r.ue();
  if (sps.log2MaxFrameNum > 16 || sps.pocType > 2)
    throw std::runtime_error("invalid sequence parameter set");
  if (sps.pocType == 0) {
    sps.log2MaxPocLsb = r.ue() + 4;
    if (sps.log2MaxPocLsb > 16) throw std::runtime_error("invalid sequence parameter set");
  } else if (sps.pocType == 1) {
    sps.deltaPicOrderAlwaysZero = r.flag();
    sps.offsetForNonRefPic = r.se();
    sps.offsetForTopToBottomField = r.se();
    uint32_t cycle = r.ue();
    if (cycle > 255) throw std::runtime_error("invalid sequence parameter set");
    for (uint32_t i = 0; i < cycle; ++i) sps.offsetForRefFrame.push_back(r.se());
  }
  sps.maxNumRefFrames = ueUpTo(r, 16, "number of reference frames");
  r.flag();
  uint32_t widthMbs = ueUpTo(r, kMaxMbsAcross - 1, "picture width") + 1;
  uint32_t heightMapUnits = ueUpTo(r, kMaxMbsAcross - 1, "picture height") + 1;
  sps.frameMbsOnly = r.flag();
  if (!sps.frameMbsOnly) r.flag();
  r.flag();
  uint32_t cropLeft = 0, cropRight = 0, cropTop = 0, cropBottom = 0;
  if (r.flag()) {
    cropLeft = r.ue();
    cropRight = r.ue();
    cropTop = r.ue();
    cropBottom = r.ue();
  }
  uint32_t chroma = sps.chromaArrayType();
  uint32_t cropUnitX = (chroma == 1 || chroma == 2) ? 2 : 1;
  uint32_t cropUnitY = (chroma == 1 ? 2 : 1) * (sps.frameMbsOnly ? 1 : 2);
  const uint32_t fullWidth = widthMbs * 16;
  const uint32_t fullHeight = heightMapUnits * 16 * (sps.frameMbsOnly ? 1 : 2);
  if (widthMbs * (fullHeight / 16) > kMaxFrameMbs) throw std::runtime_error("invalid picture size");
  // Each crop offset alone is below the size, so their sum cannot overflow.
  if (cropLeft >= fullWidth || cropRight >= fullWidth || cropTop >= fullHeight || cropBottom >= fullHeight ||
      cropUnitX * (cropLeft + cropRight) >= fullWidth || cropUnitY * (cropTop + cropBottom) >= fullHeight)
    throw std::runtime_error("invalid cropping");
  sps.width = fullWidth - cropUnitX * (cropLeft + cropRight);
  sps.height = fullHeight - cropUnitY * (cropTop + cropBottom);
  if (r.flag()) {
    // A damaged VUI only loses the optional timing hints.
    try {
      parseVui(r, sps);
    } catch (const std::runtime_error&) {
    }
  }
  return sps;
}

TH264Pps parsePps(const uint8_t* nal, size_t size) {
  std::vector<uint8_t> rbsp = unescapeNal(nal + 1, size > 0 ? size - 1 : 0);
  TBitReader r(rbsp.data(), rbsp.size());
  TH264Pps pps;
  pps.id = r.ue();
  pps.spsId = r.ue();
  if (pps.id > 255 || pps.spsId > 31) throw std::runtime_error("invalid picture parameter set id");
  r.flag();
  pps.bottomFieldPicOrderInFramePresent = r.flag();
  uint32_t sliceGroups = ueUpTo(r, 7, "number of slice groups") + 1;
  if (sliceGroups > 1) {
    uint32_t mapType = ueUpTo(r, 6, "slice group map type");
    if (mapType == 0) {
      for (uint32_t i = 0; i < sliceGroups; ++i) ueUpTo(r, kMaxFrameMbs - 1, "slice group run length");
    } else if (mapType == 2) {
      for (uint32_t i = 0; i + 1 < sliceGroups; ++i) {
        ueUpTo(r, kMaxFrameMbs - 1, "slice group corner");
        ueUpTo(r, kMaxFrameMbs - 1, "slice group corner");
      }
    } else if (mapType >= 3 && mapType <= 5) {
      r.flag();
      ueUpTo(r, kMaxFrameMbs - 1, "slice group change rate");
    } else if (mapType == 6) {
      uint32_t units = ueUpTo(r, kMaxFrameMbs - 1, "slice group map size") + 1;
      int bits = 0;
      while ((1u << bits) < sliceGroups) ++bits;
      for (uint32_t i = 0; i < units; ++i) r.bits(bits);
    }
  }
  pps.numRefIdxL0Default = ueUpTo(r, 31, "number of reference indices") + 1;
  pps.numRefIdxL1Default = ueUpTo(r, 31, "number of reference indices") + 1;
  pps.weightedPred = r.flag();
  pps.weightedBipredIdc = r.bits(2);
  if (pps.weightedBipredIdc > 2) throw std::runtime_error("invalid weighted prediction");
  seWithin(r, -26 - 48, 25, "initial quantiser");
  seWithin(r, -26, 25, "initial quantiser");
  seWithin(r, -12, 12, "chroma quantiser offset");
  r.flag();
  r.flag();
  pps.redundantPicCntPresent = r.flag();
  return pps;
}

const TH264Sps& TH264ParamSets::addSps(const uint8_t* nal, size_t size) {
  TH264Sps sps = parseSps(nal, size);
  return sps_[sps.id].emplace(std::move(sps));
}

const TH264Pps& TH264ParamSets::addPps(const uint8_t* nal, size_t size) {
  TH264Pps pps = parsePps(nal, size);
  return pps_[pps.id].emplace(pps);
}

const TH264Sps* TH264ParamSets::sps(uint32_t id) const {
  return id < sps_.size() && sps_[id] ? &*sps_[id] : nullptr;
}

const TH264Pps* TH264ParamSets::pps(uint32_t id) const {
  return id < pps_.size() && pps_[id] ? &*pps_[id] : nullptr;
}

TH264SliceHeader TH264ParamSets::parseSlice(const uint8_t* nal, size_t size) const {
  size_t payload = size > 0 ? size - 1 : 0;
  if (payload > kSliceHeaderBytes) {
    try {
      return parseSliceHeader(nal, unescapeNal(nal + 1, payload, kSliceHeaderBytes));
    } catch (const std::runtime_error&) {
      // Retried below with the whole NAL unit.
    }
  }
  return parseSliceHeader(nal, unescapeNal(nal + 1, payload));
}

TH264SliceHeader TH264ParamSets::parseSliceHeader(const uint8_t* nal,
                                                  const std::vector<uint8_t>& rbsp) const {
  TBitReader r(rbsp.data(), rbsp.size());
  TH264SliceHeader h;
  h.nalType = nal[0] & 0x1F;
  h.nalRefIdc = (nal[0] >> 5) & 3;
  h.firstMb = ueUpTo(r, kMaxFrameMbs - 1, "first macroblock");
  uint32_t type = r.ue();
  if (type > 9) throw std::runtime_error("invalid slice type");
  h.sliceType = ESliceType(type % 5);
  h.ppsId = r.ue();
  const TH264Pps* pps = this->pps(h.ppsId);
  if (!pps)
    throw std::runtime_error("slice refers to missing picture parameter set " +
                             std::to_string(h.ppsId));
  const TH264Sps* sps = this->sps(pps->spsId);
  if (!sps)
    throw std::runtime_error("slice refers to missing sequence parameter set " +
                             std::to_string(pps->spsId));
  if (sps->separateColourPlane) r.bits(2);
  h.frameNum = r.bits(int(sps->log2MaxFrameNum));
  if (!sps->frameMbsOnly) {
    h.fieldPic = r.flag();
    if (h.fieldPic) h.bottomField = r.flag();
  }
  if (h.idr()) h.idrPicId = ueUpTo(r, 65535, "IDR picture id");
  if (sps->pocType == 0) {
    h.pocLsb = r.bits(int(sps->log2MaxPocLsb));
    if (pps->bottomFieldPicOrderInFramePresent && !h.fieldPic) h.deltaPocBottom = r.se();
  } else if (sps->pocType == 1 && !sps->deltaPicOrderAlwaysZero) {
    h.deltaPoc[0] = r.se();
    if (pps->bottomFieldPicOrderInFramePresent && !h.fieldPic) h.deltaPoc[1] = r.se();
  }
  if (h.nalRefIdc == 0) return h;
  // Only reference pictures can carry the marking that resets the order count.
  if (pps->redundantPicCntPresent) r.ue();
  bool b = h.sliceType == ESliceType::B;
  bool p = h.sliceType == ESliceType::P || h.sliceType == ESliceType::SP;
  if (b) r.flag();
  uint32_t l0 = pps->numRefIdxL0Default, l1 = pps->numRefIdxL1Default;
  if ((p || b) && r.flag()) {
    l0 = ueUpTo(r, 31, "number of reference indices") + 1;
    if (b) l1 = ueUpTo(r, 31, "number of reference indices") + 1;
  }
  if (!h.intra()) skipRefPicListModification(r);
  if (b) skipRefPicListModification(r);
  if ((pps->weightedPred && p) || (pps->weightedBipredIdc == 1 && b))
    skipPredWeightTable(r, *sps, l0, l1, b);
  h.hasMmco5 = parseDecRefPicMarking(r, h.idr());
  return h;
}

bool isSecondField(const TH264SliceHeader& first, const TH264SliceHeader& second) {
  return first.fieldPic && second.fieldPic && first.bottomField != second.bottomField &&
         first.frameNum == second.frameNum && !second.idr() && !second.hasMmco5;
}
