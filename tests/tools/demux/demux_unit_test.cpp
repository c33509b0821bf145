// Pure pieces of the demultiplexer: the clip list split, the audio
// placement at joins and the stream checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <set>
#include <filesystem>
#include <fstream>

#include "tests/tools/h264streambuilder.h"
#include "tools/demux/ac3stream.h"
#include "tools/demux/annexbscan.h"
#include "tools/demux/audiofitter.h"
#include "tools/demux/clipsource.h"
#include "tools/demux/cliplist.h"
#include "media/ac3parser.h"
#include "media/cliptimeline.h"
#include "media/cliptimes.h"
#include "media/tspackets.h"
#include "tests/support/tempfolder.h"

namespace fs = std::filesystem;
using namespace demux;

// --- clip list ---------------------------------------------------------

struct TSplitCase
{
    std::vector<std::string> Existing;  // files made in the folder
    std::vector<std::string> Given;  // parts joined by "+" (folder prefixed)
    std::vector<std::string> Expected;  // resolved parts; empty: unresolved
    std::string Unresolved;  // expected unresolved name
};

class ClipListSplit : public testing::TestWithParam<TSplitCase>
{ };

TEST_P(ClipListSplit, ResolvesAgainstExistingFiles)
{
    TTempFolder folder;
    for (const std::string &name : GetParam().Existing)
        folder.Touch(name);
    std::string joined;
    for (const std::string &part : GetParam().Given)
        joined += (joined.empty() ? "" : "+") + (folder.Path() / part).string();
    TClipList list = ResolveClipList(joined);
    std::vector<std::string> expected;
    for (const std::string &part : GetParam().Expected)
        expected.push_back((folder.Path() / part).string());
    EXPECT_EQ(list.Paths, expected);
    if (GetParam().Expected.empty()) {
        EXPECT_FALSE(list.Ok());
        EXPECT_EQ(list.Unresolved, (folder.Path() / GetParam().Unresolved).string());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClipListSplit,
    testing::Values(
        TSplitCase {{"a.m2ts"}, {"a.m2ts"}, {"a.m2ts"}, ""},
        TSplitCase {{"a.m2ts", "b.m2ts", "c.m2ts"},
                    {"a.m2ts", "b.m2ts", "c.m2ts"},
                    {"a.m2ts", "b.m2ts", "c.m2ts"},
                    ""},
        // A "+" inside a file name is not a separator when no file ends there.
        TSplitCase {{"x+y.m2ts", "b.m2ts"}, {"x+y.m2ts", "b.m2ts"}, {"x+y.m2ts", "b.m2ts"}, ""},
        // "p" exists but "q+r.m2ts" does not: the split must back off.
        TSplitCase {{"p", "p+q.m2ts", "r.m2ts"}, {"p+q.m2ts", "r.m2ts"}, {"p+q.m2ts", "r.m2ts"}, ""},
        TSplitCase {{"a b.m2ts", "c d.m2ts"}, {"a b.m2ts", "c d.m2ts"}, {"a b.m2ts", "c d.m2ts"}, ""},
        TSplitCase {{"a.m2ts", "c.m2ts"}, {"a.m2ts", "gone.m2ts", "c.m2ts"}, {}, "gone.m2ts"},
        TSplitCase {{"a.m2ts"}, {"none.m2ts"}, {}, "none.m2ts"}));

TEST(ClipList, FolderIsNoClip)
{
    TTempFolder folder;
    fs::create_directory(folder.Path() / "d.m2ts");
    EXPECT_FALSE(ResolveClipList((folder.Path() / "d.m2ts").string()).Ok());
}

// A tree of 2,000 clips (a long holiday) is split with a number of file
// checks in proportion to the clips, whether it resolves or one is missing:
// each part is tried against the "+" signs within a path's length only.
TEST(ClipList, FileChecksGrowWithTheClipsNotTheirSquare)
{
    constexpr int kClips = 2000;
    std::vector<std::string> parts;
    for (int i = 0; i < kClips; ++i) {
        char name[80];
        std::snprintf(name, sizeof name, "/home/louise/Vidéos/Vacances 2025/AVCHD/BDMV/STREAM/%05d.MTS", i);
        parts.push_back(name);
    }
    const size_t partLength = parts[0].size();
    const size_t bound = kClips * (PATH_MAX / (partLength + 1) + 2);
    for (int missing : {-1, kClips - 10}) {
        SCOPED_TRACE("missing clip " + std::to_string(missing));
        std::set<std::string> files(parts.begin(), parts.end());
        if (missing >= 0)
            files.erase(parts[missing]);
        std::string joined;
        for (const std::string &part : parts)
            joined += (joined.empty() ? "" : "+") + part;
        size_t checks = 0;
        const TClipList list = ResolveClipList(joined, [&](const std::string &path) {
            ++checks;
            return files.count(path) > 0;
        });
        if (missing < 0)
            EXPECT_EQ(list.Paths, parts);
        else
            EXPECT_EQ(list.Unresolved, parts[missing]);
        EXPECT_LE(checks, bound);
    }
}

TEST(ClipList, TrailingPlusNamesNothing)
{
    TTempFolder folder;
    std::string a = folder.Touch("a.m2ts");
    EXPECT_FALSE(ResolveClipList(a + "+").Ok());
    EXPECT_FALSE(ResolveClipList("").Ok());
}

TEST(ClipList, StreamBaseDropsTheClipExtension)
{
    EXPECT_EQ(StreamBaseOf("/data/clips/00012.m2ts"), "00012");
    EXPECT_EQ(StreamBaseOf("/data/clips/00012.M2TS"), "00012");
    EXPECT_EQ(StreamBaseOf("/data/my clip+2.MTS.m2ts"), "my clip+2.MTS");
    // A memory card's clips.
    EXPECT_EQ(StreamBaseOf("/card/PRIVATE/AVCHD/BDMV/STREAM/00000.MTS"), "00000");
    EXPECT_EQ(StreamBaseOf("00001.mts"), "00001");
    EXPECT_EQ(StreamBaseOf("/data/clip.m2ts.mts"), "clip.m2ts");
    // Other names lose five characters, the length of ".m2ts".
    EXPECT_EQ(StreamBaseOf("/x/clip.m2t"), "cli");
    EXPECT_EQ(StreamBaseOf("/x/a.ts"), "");
}

// --- audio placement ------------------------------------------------------

constexpr int64_t kFrameTicks = 2880;  // 1536 samples at 48 kHz

struct TClipAudio
{
    int64_t VideoStart;
    int64_t VideoDuration;
    std::vector<int64_t> AudioPts;  // time stamps of the clip's frames
};

// What the fitter made of a run of clips: the samples written after each
// clip, the silent and dropped frames, and how far the furthest kept frame
// sits from where its own time stamp puts it on the joined time line.
struct TFitResult
{
    std::vector<int64_t> Ends;
    int64_t Silent = 0;
    int64_t Dropped = 0;
    double WorstOffsetSamples = 0;
};

TFitResult PlaceClips(const std::vector<TClipAudio> &clips)
{
    TAudioFitter fitter(48000);
    TFitResult result;
    int64_t clipStart = 0;  // joined ticks
    for (const TClipAudio &clip : clips) {
        fitter.BeginClip(clip.VideoStart, clip.VideoDuration);
        for (int64_t pts : clip.AudioPts) {
            TAudioFitter::TPlacement p = fitter.Place(pts);
            result.Silent += p.SilentBefore;
            if (!p.Keep) {
                ++result.Dropped;
                continue;
            }
            double wanted = (clipStart + pts - clip.VideoStart) * 48000.0 / 90000;
            double offset = std::abs(double(fitter.WrittenSamples() - kAc3FrameSamples) - wanted);
            result.WorstOffsetSamples = std::max(result.WorstOffsetSamples, offset);
        }
        result.Silent += fitter.FinishClip();
        result.Ends.push_back(fitter.WrittenSamples());
        clipStart += clip.VideoDuration;
    }
    return result;
}

std::vector<int64_t> Frames(int64_t first, int count, int64_t step = kFrameTicks)
{
    std::vector<int64_t> pts;
    for (int i = 0; i < count; ++i)
        pts.push_back(first + i * step);
    return pts;
}

struct TFitCase
{
    const char *Name;
    std::vector<TClipAudio> Clips;
    std::optional<int64_t> Silent;  // silent frames expected in all
    std::optional<int64_t> Dropped;  // frames expected dropped in all
};

class AudioFitter : public testing::TestWithParam<TFitCase>
{ };

TEST_P(AudioFitter, KeepsEveryJoinWithinHalfAFrame)
{
    TFitResult fit = PlaceClips(GetParam().Clips);
    int64_t videoEnd = 0;
    for (size_t i = 0; i < fit.Ends.size(); ++i) {
        videoEnd += GetParam().Clips[i].VideoDuration;
        double videoSamples = videoEnd * 48000.0 / 90000;
        EXPECT_LE(std::abs(fit.Ends[i] - videoSamples), kAc3FrameSamples / 2.0) << "clip " << i;
    }
    if (GetParam().Silent) {
        EXPECT_EQ(fit.Silent, *GetParam().Silent);
    }
    if (GetParam().Dropped) {
        EXPECT_EQ(fit.Dropped, *GetParam().Dropped);
    }
}

// Every kept frame plays within 16 ms (half a frame, give or take the
// rounding to a sample) of its own time stamp.
TEST_P(AudioFitter, KeepsEveryFrameWithinHalfAFrameOfItsTimeStamp)
{
    EXPECT_LE(PlaceClips(GetParam().Clips).WorstOffsetSamples, 48000 * 0.016 + 0.5);
}

INSTANTIATE_TEST_SUITE_P(Cases, AudioFitter,
                         testing::Values(
                             // 2 s of video, audio exactly along it: 62.5 frames -> 63 written.
                             TFitCase {"aligned", {{1000, 180000, Frames(1000, 63)}}, 0, 0},
                             TFitCase {"no audio", {{0, 180000, {}}, {0, 90000, {}}}, 63 + 31, 0},
                             // Audio starts 0.5 s late: 16 silent frames first (0.512 s).
                             TFitCase {"late start", {{0, 180000, Frames(45000, 47)}}, 16, 0},
                             // A 10-frame hole in the middle is filled.
                             TFitCase {"gap",
                                       {{0, 180000,
                                         [] {
                                             auto a = Frames(0, 20);
                                             auto b = Frames(30 * kFrameTicks, 33);
                                             a.insert(a.end(), b.begin(), b.end());
                                             return a;
                                         }()}},
                                       10,
                                       0},
                             // Audio runs 1 s past the video end: the surplus is dropped.
                             TFitCase {"past the end", {{0, 90000, Frames(0, 63)}}, 0, 63 - 31},
                             // Audio starting 0.2 s before the first picture is cut there.
                             TFitCase {"early start", {{18000, 90000, Frames(0, 38)}}, 0, 38 - 31},
                             // The audio jumps back by 0.6 frame after its tenth frame: the
                             // frame overlapping the one before is dropped, the next one kept
                             // 0.4 frame early.
                             TFitCase {"overlap",
                                       {{0, 90000,
                                         [] {
                                             auto a = Frames(0, 10);
                                             auto b = Frames(10 * kFrameTicks - kFrameTicks * 6 / 10, 22);
                                             a.insert(a.end(), b.begin(), b.end());
                                             return a;
                                         }()}},
                                       0,
                                       1},
                             // Three clips of odd lengths: the error never piles up.
                             TFitCase {"odd lengths",
                                       {{0, 3600 * 7, Frames(0, 3)},
                                        {500, 3600 * 13, Frames(500, 6)},
                                        {0, 3600 * 11, Frames(0, 5)}},
                                       std::nullopt,
                                       std::nullopt}),
                         [](const testing::TestParamInfo<TFitCase> &info) {
                             std::string name = info.param.Name;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

TEST(AudioFitterJoins, ManyShortClipsDoNotDrift)
{
    // 200 clips of 0.28 s (7 pictures) each, with their own 9 frames of audio
    // (0.288 s): a per-clip rounding would drift by seconds.
    std::vector<TClipAudio> clips(200, TClipAudio {0, 3600 * 7, Frames(0, 9)});
    std::vector<int64_t> ends = PlaceClips(clips).Ends;
    double video = 200 * 3600 * 7 * 48000.0 / 90000;
    EXPECT_LE(std::abs(ends.back() - video), kAc3FrameSamples / 2.0);
}

TEST(AudioFitterJoins, FramesWithoutTimeStampFollowTheAudio)
{
    TAudioFitter fitter(48000);
    fitter.BeginClip(0, 90000);
    EXPECT_TRUE(fitter.Place(0).Keep);
    TAudioFitter::TPlacement p = fitter.Place(std::nullopt);
    EXPECT_TRUE(p.Keep);
    EXPECT_EQ(p.SilentBefore, 0);
    EXPECT_EQ(fitter.WrittenSamples(), 2 * kAc3FrameSamples);
}

// --- stream checks ------------------------------------------------------

// 25 fps pictures stored I P B B P B B ... (decoding times step by one
// picture, presentation times two pictures later for I and P).
struct TPicture
{
    int64_t Pts, Dts;
};

std::vector<TPicture> StoredPictures(int64_t start, int count)
{
    std::vector<TPicture> pictures;
    for (int i = 0; i < count; ++i) {
        const bool anchor = i % 3 == 0;
        const int64_t shown = anchor ? i + 2 : i - 1;
        pictures.push_back({start + shown * 3600, start + i * 3600});
    }
    return pictures;
}

std::vector<int64_t> Place(TClipTimeline &timeline, const std::vector<TPicture> &pictures)
{
    std::vector<int64_t> times;
    for (const TPicture &p : pictures)
        times.push_back(timeline.Video(p.Pts, p.Dts));
    return times;
}

TEST(ClipTimeline, SteadyClockKeepsItsTimes)
{
    TClipTimeline timeline(3600);
    const std::vector<TPicture> pictures = StoredPictures(126000, 30);
    std::vector<int64_t> times = Place(timeline, pictures);
    EXPECT_EQ(timeline.Jumps(), 0);
    for (size_t i = 0; i < pictures.size(); ++i)
        EXPECT_EQ(times[i], pictures[i].Pts);
    EXPECT_EQ(timeline.Audio(100000), 100000);
    EXPECT_EQ(ClipDuration(times, 30, 3600), 30 * 3600);
}

// Two clips joined by copying: the second starts its clock again, and is
// placed after the first.
TEST(ClipTimeline, ClockStartingAgainIsPlacedAfter)
{
    TClipTimeline timeline(3600);
    std::vector<int64_t> times = Place(timeline, StoredPictures(126000, 30));
    const std::vector<int64_t> second = Place(timeline, StoredPictures(126000, 30));
    EXPECT_EQ(timeline.Jumps(), 1);
    EXPECT_EQ(timeline.Audio(StoredPictures(126000, 1)[0].Pts), second.front());
    EXPECT_GT(second.front(), *std::max_element(times.begin(), times.end()));
    times.insert(times.end(), second.begin(), second.end());
    EXPECT_EQ(ClipDuration(times, 60, 3600), 60 * 3600);
}

// One flipped bit (2^32 ticks, 13 hours) in a presentation time: the
// decoding time stands in for it, and the length stays that of the pictures.
TEST(ClipTimeline, PresentationTimeFarFromItsDecodingTimeIsDamage)
{
    std::vector<TPicture> pictures = StoredPictures(126000, 30);
    pictures[27].Pts += int64_t(1) << 32;
    TClipTimeline timeline(3600);
    std::vector<int64_t> times = Place(timeline, pictures);
    EXPECT_EQ(timeline.Jumps(), 1);
    EXPECT_LT(*std::max_element(times.begin(), times.end()), 126000 + 40 * 3600);
    EXPECT_EQ(ClipDuration(times, 30, 3600), 30 * 3600);
}

TEST(ClipTimeline, StepOverASecondOrUnknownGivesNoLength)
{
    std::vector<int64_t> none;
    EXPECT_EQ(ClipDuration(none, 25, 0), 0);
    EXPECT_EQ(ClipDuration(none, 25, 90001), 0);
    EXPECT_EQ(ClipDuration(none, 25, 3600), 25 * 3600);
    std::vector<int64_t> sparse {0, 200000, 400000};
    EXPECT_EQ(ClipDuration(sparse, 3, 3600), 0);
}

TEST(TsPacketSize, RecognisesBothPacketForms)
{
    std::vector<uint8_t> m2ts(192 * 8, 0), ts(188 * 8, 0), text(400, 'x');
    for (size_t at = 4; at < m2ts.size(); at += 192)
        m2ts[at] = 0x47;
    for (size_t at = 0; at < ts.size(); at += 188)
        ts[at] = 0x47;
    EXPECT_EQ(TsPacketSizeOf(m2ts.data(), m2ts.size()), 192);
    EXPECT_EQ(TsPacketSizeOf(ts.data(), ts.size()), 188);
    EXPECT_EQ(TsPacketSizeOf(text.data(), text.size()), 0);
    m2ts[4 + 192 * 5] = 0;  // one lost sync byte: not a stream we trust
    EXPECT_EQ(TsPacketSizeOf(m2ts.data(), m2ts.size()), 0);
    EXPECT_EQ(TsPacketSizeOf(m2ts.data(), 0), 0);
}

struct TNalCase
{
    std::vector<uint8_t> Bytes;
    bool HasSets;
};

class ParameterSets : public testing::TestWithParam<TNalCase>
{ };

TEST_P(ParameterSets, FoundOnlyBeforeTheFirstSlice)
{
    EXPECT_EQ(HasParameterSetsBeforeFirstPicture(GetParam().Bytes.data(), GetParam().Bytes.size()),
              GetParam().HasSets);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParameterSets,
    testing::Values(
        // AUD, SPS, PPS, IDR slice
        TNalCase {{0, 0, 0, 1, 0x09, 0xf0, 0, 0, 0, 1, 0x67, 0x64, 0, 0, 1, 0x68, 0xee, 0, 0, 1, 0x65, 0x88},
                  true},
        // SPS only, then a slice
        TNalCase {{0, 0, 1, 0x67, 0x64, 0, 0, 1, 0x65, 0x88}, false},
        // parameter sets after the slice do not count
        TNalCase {{0, 0, 1, 0x41, 0x9a, 0, 0, 1, 0x67, 0x64, 0, 0, 1, 0x68, 0xee}, false},
        // SEI, SPS, PPS, non-IDR slice
        TNalCase {{0, 0, 1, 0x06, 0x05, 0, 0, 1, 0x27, 0x4d, 0, 0, 1, 0x28, 0xee, 0, 0, 1, 0x21, 0x9a}, true},
        TNalCase {{}, false}));

// Field pictures as camcorders send them: a frame is two fields, whether
// both come in one piece of the stream or each in its own.
struct TCountCase
{
    const char *Name;
    std::vector<std::vector<std::string>> Pieces;  // of field NAL units, fed in turn
    int64_t Frames;
};

class PictureCount : public testing::TestWithParam<TCountCase>
{ };

TEST_P(PictureCount, CountsFramesNotFields)
{
    TPictureCounter counter;
    std::string sets = h264build::sps() + h264build::pps();
    counter.Add(reinterpret_cast<const uint8_t *>(sets.data()), sets.size());
    for (const auto &piece : GetParam().Pieces) {
        std::string data;
        for (const std::string &nal : piece)
            data += nal;
        counter.Add(reinterpret_cast<const uint8_t *>(data.data()), data.size());
    }
    EXPECT_EQ(counter.Frames(), GetParam().Frames);
}

using h264build::EKind;
using h264build::field;

INSTANTIATE_TEST_SUITE_P(
    Cases, PictureCount,
    testing::Values(
        TCountCase {"PairsInOnePiece",
                    {{field(EKind::Idr, false, 0, 0), field(EKind::I, true, 0, 1)},
                     {field(EKind::P, false, 1, 4), field(EKind::P, true, 1, 5)}},
                    2},
        TCountCase {"EachFieldApart",
                    {{field(EKind::Idr, false, 0, 0)},
                     {field(EKind::I, true, 0, 1)},
                     {field(EKind::P, false, 1, 4)},
                     {field(EKind::P, true, 1, 5)},
                     {field(EKind::B, false, 2, 2)},
                     {field(EKind::B, true, 2, 3)}},
                    3},
        TCountCase {"MixedPacking",
                    {{field(EKind::Idr, false, 0, 0)},
                     {field(EKind::I, true, 0, 1), field(EKind::P, false, 1, 4)},
                     {field(EKind::P, true, 1, 5)}},
                    2},
        // A field whose partner never came stands for a frame of its own.
        TCountCase {
            "UnpairedFields",
            {{field(EKind::Idr, false, 0, 0)}, {field(EKind::P, false, 1, 4)}, {field(EKind::P, true, 1, 5)}},
            2},
        // Two fields of one parity with one frame number are two frames.
        TCountCase {"SameParityTwice", {{field(EKind::Idr, false, 0, 0), field(EKind::I, false, 0, 2)}}, 2}),
    [](const testing::TestParamInfo<TCountCase> &info) { return std::string(info.param.Name); });

// --- AC-3 frames ------------------------------------------------------------

namespace {

// A fake AC-3 frame: a valid header (48 kHz, 192 kbit/s: 768 bytes) and
// its position in the body so that frames can be told apart.
std::vector<uint8_t> Ac3Frame(uint8_t tag)
{
    std::vector<uint8_t> frame(768, tag);
    frame[0] = 0x0b;
    frame[1] = 0x77;
    frame[4] = (0 << 6) | 20;  // fscod 48 kHz, frmsizecod 192 kbit/s
    frame[5] = 8 << 3;  // bsid 8
    return frame;
}

}  // namespace

struct TFrameSizeCase
{
    int Fscod, Frmsizecod, Bsid;
    size_t Bytes;
};

class Ac3Header : public testing::TestWithParam<TFrameSizeCase>
{ };

TEST_P(Ac3Header, GivesTheSyncFrameSize)
{
    uint8_t header[8] = {0x0b, 0x77, 0, 0, 0, 0, 0, 0};
    header[4] = static_cast<uint8_t>(GetParam().Fscod << 6 | GetParam().Frmsizecod);
    header[5] = static_cast<uint8_t>(GetParam().Bsid << 3);
    const std::optional<TAc3Frame> frame = ParseAc3Header(header, sizeof header);
    EXPECT_EQ(frame ? frame->Size : 0, GetParam().Bytes);
}

INSTANTIATE_TEST_SUITE_P(Table, Ac3Header,
                         testing::Values(TFrameSizeCase {0, 20, 8, 768},  // 48 kHz 192k
                                         TFrameSizeCase {0, 30, 6, 1792},  // 48 kHz 448k
                                         TFrameSizeCase {0, 37, 8, 2560},  // 48 kHz 640k
                                         TFrameSizeCase {1, 0, 8, 138},  // 44.1 kHz 32k
                                         TFrameSizeCase {1, 21, 8, 836},  // 44.1 kHz 192k, padded
                                         TFrameSizeCase {2, 20, 8, 1152},  // 32 kHz 192k
                                         TFrameSizeCase {3, 20, 8, 0},  // reserved rate
                                         TFrameSizeCase {0, 38, 8, 0},  // no such size code
                                         TFrameSizeCase {0, 20, 16, 0}));  // E-AC-3

TEST(Ac3Stream, TimeStampsFollowThePesThatFramesStartIn)
{
    TAc3Stream stream;
    std::vector<uint8_t> bytes;
    for (uint8_t tag = 1; tag <= 4; ++tag) {
        auto f = Ac3Frame(tag);
        bytes.insert(bytes.end(), f.begin(), f.end());
    }
    // PES 1: frame 1 and half of frame 2; PES 2 (stamp 9000): the rest.
    stream.AddPes(bytes.data(), 768 + 384, 1000);
    stream.AddPes(bytes.data() + 768 + 384, bytes.size() - 768 - 384, 9000);
    auto frames = stream.Frames(48000);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0].Pts, 1000);
    EXPECT_EQ(frames[1].Pts, 1000 + 2880);  // started in PES 1
    EXPECT_EQ(frames[2].Pts, 9000);  // first frame starting in PES 2
    EXPECT_EQ(frames[3].Pts, 9000 + 2880);
    EXPECT_EQ(stream.Data()[frames[2].Offset + 10], 3);
    EXPECT_EQ(stream.SkippedBytes(), 0u);
}

TEST(Ac3Stream, SkipsDamageAndAnUnfinishedLastFrame)
{
    TAc3Stream stream;
    auto one = Ac3Frame(1), two = Ac3Frame(2);
    std::vector<uint8_t> bytes(one);
    bytes.insert(bytes.end(), {0x12, 0x34, 0x56});  // garbage between frames
    bytes.insert(bytes.end(), two.begin(), two.end());
    bytes.insert(bytes.end(), one.begin(), one.begin() + 100);  // cut short
    stream.AddPes(bytes.data(), bytes.size(), std::nullopt);
    auto frames = stream.Frames(48000);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_FALSE(frames[0].Pts.has_value());
    EXPECT_EQ(frames[1].Offset, 768u + 3);
    EXPECT_EQ(stream.SkippedBytes(), 3u + 100);
}
