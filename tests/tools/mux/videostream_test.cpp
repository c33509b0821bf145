// Frames and their times from a field-coded H.264 stream built here bit by
// bit (headers only: the muxer never decodes slice data).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "tests/tools/h264streambuilder.h"
#include "tools/mux/videostream.h"

namespace {

using namespace h264build;

std::filesystem::path WriteStream(const std::string &data)
{
    auto path =
        std::filesystem::temp_directory_path() / ("tavrel-fields-" + std::to_string(::getpid()) + ".h264");
    std::ofstream(path, std::ios::binary) << data;
    return path;
}

size_t Count(const TVideoFrame &frame, const std::string &what)
{
    std::string data(reinterpret_cast<const char *>(frame.Data()), frame.Size());
    size_t n = 0;
    for (size_t p = 0; (p = data.find(what, p)) != std::string::npos; ++p)
        ++n;
    return n;
}

TEST(VideoStream, FieldPairsBecomeFramesTimedByPictureOrder)
{
    // Decoding order IDR P B B P B B, each a top and a bottom field; order
    // counts (of the top fields) 0 12 4 8 24 16 20.
    struct
    {
        EKind First, Second;
        uint32_t FrameNum, Poc;
    } frames[] = {{EKind::Idr, EKind::I, 0, 0}, {EKind::P, EKind::P, 1, 12}, {EKind::B, EKind::B, 2, 4},
                  {EKind::B, EKind::B, 2, 8},   {EKind::P, EKind::P, 2, 24}, {EKind::B, EKind::B, 3, 16},
                  {EKind::B, EKind::B, 3, 20}};
    std::string stream = sps() + pps();
    for (const auto &f : frames)
        stream += field(f.First, false, f.FrameNum, f.Poc) + field(f.Second, true, f.FrameNum, f.Poc + 1);
    std::filesystem::path path = WriteStream(stream);

    const uint64_t start = 27000000, d = 27000000 / 25;
    TVideoStream video(path.string(), TFrameRate {25, 1}, true, start);
    std::vector<uint64_t> pts, dts;
    std::vector<bool> intra;
    TVideoFrame frame;
    while (video.Next(frame)) {
        pts.push_back((frame.Pts27 - start) / d);
        dts.push_back(frame.Dts27 + d - start);
        intra.push_back(frame.Intra);
        EXPECT_EQ(Count(frame, std::string("\0\0\0\1\x09", 5)), 2u);  // a delimiter per field
    }
    std::filesystem::remove(path);
    EXPECT_EQ(pts, (std::vector<uint64_t> {0, 3, 1, 2, 6, 4, 5}));
    // One frame of reordering: decoding runs one frame ahead.
    EXPECT_EQ(dts, (std::vector<uint64_t> {0, d, 2 * d, 3 * d, 4 * d, 5 * d, 6 * d}));
    EXPECT_EQ(intra, (std::vector<bool> {true, false, false, false, false, false, false}));
    EXPECT_EQ(video.EndPts27(), start + 7 * d);
    EXPECT_EQ(video.FirstSps().Height, 192u);
    EXPECT_FALSE(video.FirstSps().FrameMbsOnly);
}

TEST(VideoStream, IntraPicturesGetTheirParameterSetsRepeated)
{
    std::string stream = sps() + pps() + field(EKind::Idr, false, 0, 0) + field(EKind::I, true, 0, 1)
                         + field(EKind::I, false, 1, 4) + field(EKind::P, true, 1, 5);
    std::filesystem::path path = WriteStream(stream);
    TVideoStream video(path.string(), TFrameRate {25, 1}, true, 27000000);
    TVideoFrame first, second;
    ASSERT_TRUE(video.Next(first));
    ASSERT_TRUE(video.Next(second));
    std::filesystem::remove(path);
    EXPECT_TRUE(second.Intra);
    // The second intra frame sent none; they are copied in after its delimiter.
    EXPECT_EQ(Count(second, sps().substr(0, sps().size() - 2)), 1u);
    EXPECT_EQ(Count(second, pps().substr(0, pps().size() - 2)), 1u);
}

}  // namespace
