// H.264 parameter sets and slice headers, parsed as far as muxing needs:
// picture boundaries, picture order counts, field pictures and the
// picture size and timing a disc's stream attributes describe.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

enum class EH264Nal : uint8_t {
  Slice = 1,
  Idr = 5,
  Sei = 6,
  Sps = 7,
  Pps = 8,
  Aud = 9,
  EndOfSequence = 10,
  EndOfStream = 11,
  Filler = 12,
};

inline uint8_t nalType(const uint8_t* nal) { return nal[0] & 0x1F; }
inline bool isVclNal(uint8_t type) { return type >= 1 && type <= 5; }

struct TH264Sps {
  uint8_t profileIdc = 0;
  uint8_t levelIdc = 0;
  uint32_t id = 0;
  uint32_t chromaFormatIdc = 1;
  bool separateColourPlane = false;
  uint32_t log2MaxFrameNum = 4;
  uint32_t pocType = 0;
  uint32_t log2MaxPocLsb = 4;
  bool deltaPicOrderAlwaysZero = false;
  int32_t offsetForNonRefPic = 0;
  int32_t offsetForTopToBottomField = 0;
  std::vector<int32_t> offsetForRefFrame;
  uint32_t maxNumRefFrames = 0;
  bool frameMbsOnly = true;
  uint32_t width = 0;
  uint32_t height = 0;  // frame height in luma samples, after cropping
  // VUI timing: time scale / (2 * units per tick) frames per second.
  uint32_t numUnitsInTick = 0;
  uint32_t timeScale = 0;
  std::optional<uint32_t> maxNumReorderFrames;

  uint32_t chromaArrayType() const { return separateColourPlane ? 0 : chromaFormatIdc; }
};

struct TH264Pps {
  uint32_t id = 0;
  uint32_t spsId = 0;
  bool bottomFieldPicOrderInFramePresent = false;
  uint32_t numRefIdxL0Default = 1;
  uint32_t numRefIdxL1Default = 1;
  bool weightedPred = false;
  uint32_t weightedBipredIdc = 0;
  bool redundantPicCntPresent = false;
};

enum class ESliceType : uint8_t { P = 0, B = 1, I = 2, SP = 3, SI = 4 };

struct TH264SliceHeader {
  uint8_t nalType = 0;
  uint8_t nalRefIdc = 0;
  uint32_t firstMb = 0;
  ESliceType sliceType = ESliceType::P;
  uint32_t ppsId = 0;
  uint32_t frameNum = 0;
  bool fieldPic = false;
  bool bottomField = false;
  uint32_t idrPicId = 0;
  uint32_t pocLsb = 0;
  int32_t deltaPocBottom = 0;
  std::array<int32_t, 2> deltaPoc = {0, 0};
  bool hasMmco5 = false;

  bool idr() const { return nalType == 5; }
  bool intra() const { return sliceType == ESliceType::I || sliceType == ESliceType::SI; }
};

// Parameter sets seen so far in the stream, by id. A later set with the
// same id replaces the earlier one, as it does for a decoder.
class TH264ParamSets {
public:
  // Parse and store; throw std::runtime_error on a malformed set.
  const TH264Sps& addSps(const uint8_t* nal, size_t size);
  const TH264Pps& addPps(const uint8_t* nal, size_t size);

  const TH264Sps* sps(uint32_t id) const;
  const TH264Pps* pps(uint32_t id) const;

  // Parses a slice header against the stored sets; throws when a set it
  // refers to is missing or the header is malformed.
  TH264SliceHeader parseSlice(const uint8_t* nal, size_t size) const;

private:
  TH264SliceHeader parseSliceHeader(const uint8_t* nal, const std::vector<uint8_t>& rbsp) const;

  std::array<std::optional<TH264Sps>, 32> sps_;
  std::array<std::optional<TH264Pps>, 256> pps_;
};

TH264Sps parseSps(const uint8_t* nal, size_t size);
TH264Pps parsePps(const uint8_t* nal, size_t size);

// True when `second` is the field that completes the frame begun by the
// field `first`: opposite parity, same frame number, no reset between them.
bool isSecondField(const TH264SliceHeader& first, const TH264SliceHeader& second);
