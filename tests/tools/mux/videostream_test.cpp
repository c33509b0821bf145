// Frames and their times from a field-coded H.264 stream built here bit by
// bit (headers only: the muxer never decodes slice data).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "common/bitwriter.h"
#include "mux/videostream.h"

namespace {

class TNalBuilder {
public:
  TNalBuilder& u(uint32_t value, int bits) {
    if (bits > 0) w_.put(value, bits);
    return *this;
  }
  TNalBuilder& ue(uint32_t value) {
    int bits = 0;
    while ((value + 1) >> (bits + 1)) ++bits;
    u(0, bits);
    return u(value + 1, bits + 1);
  }
  TNalBuilder& se(int32_t value) { return ue(value > 0 ? uint32_t(2 * value - 1) : uint32_t(-2 * value)); }
  // Stop bit, alignment and emulation prevention, behind a start code.
  std::string finish(uint8_t header) {
    u(1, 1);
    while (w_.bitCount() % 8) u(0, 1);
    std::string out("\0\0\0\1", 4);
    out += char(header);
    int zeros = 0;
    for (uint8_t b : w_.bytes()) {
      if (zeros >= 2 && b <= 3) {
        out += '\3';
        zeros = 0;
      }
      zeros = b == 0 ? zeros + 1 : 0;
      out += char(b);
    }
    return out + "\xAB\xCD";  // stands for slice data
  }

private:
  TBitWriter w_;
};

std::string sps() {
  return TNalBuilder()
      .u(77, 8).u(0, 8).u(40, 8).ue(0)  // Main profile, level 4, id 0
      .ue(0)                            // 4-bit frame_num
      .ue(0).ue(2)                      // POC type 0, 6-bit lsb
      .ue(2).u(0, 1)                    // two references
      .ue(19).ue(5)                     // 320 x 192
      .u(0, 1).u(0, 1)                  // field coding allowed, no MBAFF
      .u(1, 1).u(0, 1).u(0, 1)          // direct 8x8, no cropping, no VUI
      .finish(0x67);
}

std::string pps() {
  return TNalBuilder().ue(0).ue(0).u(0, 1).u(0, 1).ue(0).ue(0).ue(0).u(0, 1).u(0, 2)
      .se(0).se(0).se(0).u(1, 1).u(0, 1).u(0, 1).finish(0x68);
}

enum class EKind { Idr, I, P, B };

std::string field(EKind kind, bool bottom, uint32_t frameNum, uint32_t pocLsb) {
  bool reference = kind != EKind::B;
  uint32_t sliceType = kind == EKind::P ? 5 : kind == EKind::B ? 6 : 7;
  TNalBuilder b;
  b.ue(0).ue(sliceType).ue(0).u(frameNum, 4).u(1, 1).u(bottom ? 1 : 0, 1);
  if (kind == EKind::Idr) b.ue(0);
  b.u(pocLsb, 6);
  if (reference) {
    if (kind == EKind::P) b.u(0, 1).u(0, 1);  // no override, no list modification
    b.u(0, kind == EKind::Idr ? 2 : 1);        // reference marking
  }
  uint8_t header = uint8_t((reference ? 0x60 : 0x00) | (kind == EKind::Idr ? 5 : 1));
  return b.finish(header);
}

std::filesystem::path writeStream(const std::string& data) {
  auto path = std::filesystem::temp_directory_path() / ("tavrel-fields-" + std::to_string(::getpid()) + ".h264");
  std::ofstream(path, std::ios::binary) << data;
  return path;
}

size_t count(const TVideoFrame& frame, const std::string& what) {
  std::string data(reinterpret_cast<const char*>(frame.data()), frame.size());
  size_t n = 0;
  for (size_t p = 0; (p = data.find(what, p)) != std::string::npos; ++p) ++n;
  return n;
}

TEST(VideoStream, FieldPairsBecomeFramesTimedByPictureOrder) {
  // Decoding order IDR P B B P B B, each a top and a bottom field; order
  // counts (of the top fields) 0 12 4 8 24 16 20.
  struct {
    EKind first, second;
    uint32_t frameNum, poc;
  } frames[] = {{EKind::Idr, EKind::I, 0, 0}, {EKind::P, EKind::P, 1, 12}, {EKind::B, EKind::B, 2, 4},
                {EKind::B, EKind::B, 2, 8},   {EKind::P, EKind::P, 2, 24}, {EKind::B, EKind::B, 3, 16},
                {EKind::B, EKind::B, 3, 20}};
  std::string stream = sps() + pps();
  for (const auto& f : frames)
    stream += field(f.first, false, f.frameNum, f.poc) + field(f.second, true, f.frameNum, f.poc + 1);
  std::filesystem::path path = writeStream(stream);

  const uint64_t start = 27000000, d = 27000000 / 25;
  TVideoStream video(path.string(), TFrameRate{25, 1}, true, start);
  std::vector<uint64_t> pts, dts;
  std::vector<bool> intra;
  TVideoFrame frame;
  while (video.next(frame)) {
    pts.push_back((frame.pts27 - start) / d);
    dts.push_back(frame.dts27 + d - start);
    intra.push_back(frame.intra);
    EXPECT_EQ(count(frame, std::string("\0\0\0\1\x09", 5)), 2u);  // a delimiter per field
  }
  std::filesystem::remove(path);
  EXPECT_EQ(pts, (std::vector<uint64_t>{0, 3, 1, 2, 6, 4, 5}));
  // One frame of reordering: decoding runs one frame ahead.
  EXPECT_EQ(dts, (std::vector<uint64_t>{0, d, 2 * d, 3 * d, 4 * d, 5 * d, 6 * d}));
  EXPECT_EQ(intra, (std::vector<bool>{true, false, false, false, false, false, false}));
  EXPECT_EQ(video.endPts27(), start + 7 * d);
  EXPECT_EQ(video.firstSps().height, 192u);
  EXPECT_FALSE(video.firstSps().frameMbsOnly);
}

TEST(VideoStream, IntraPicturesGetTheirParameterSetsRepeated) {
  std::string stream = sps() + pps() + field(EKind::Idr, false, 0, 0) + field(EKind::I, true, 0, 1) +
                       field(EKind::I, false, 1, 4) + field(EKind::P, true, 1, 5);
  std::filesystem::path path = writeStream(stream);
  TVideoStream video(path.string(), TFrameRate{25, 1}, true, 27000000);
  TVideoFrame first, second;
  ASSERT_TRUE(video.next(first));
  ASSERT_TRUE(video.next(second));
  std::filesystem::remove(path);
  EXPECT_TRUE(second.intra);
  // The second intra frame sent none; they are copied in after its delimiter.
  EXPECT_EQ(count(second, sps().substr(0, sps().size() - 2)), 1u);
  EXPECT_EQ(count(second, pps().substr(0, pps().size() - 2)), 1u);
}

}  // namespace
