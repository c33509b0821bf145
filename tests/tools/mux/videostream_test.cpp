// Frames and their times from a field-coded H.264 stream built here bit by
// bit (headers only: the muxer never decodes slice data).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "../h264streambuilder.h"
#include "mux/videostream.h"

namespace {

using namespace h264build;

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
