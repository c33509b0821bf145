// The disc structure files, read back by libbluray.
#include <gtest/gtest.h>

#include <filesystem>
#include <libbluray/bluray.h>
#include <libbluray/clpi_data.h>
#include <unistd.h>

#include "mux/clipsummary.h"
#include "mux/muxfile.h"

namespace fs = std::filesystem;

namespace {

class Structures : public testing::Test
{
protected:
    void SetUp() override
    {
        FRoot = fs::temp_directory_path() / ("tavrel-structures-" + std::to_string(::getpid()));
        fs::remove_all(FRoot);
        for (const char *sub : {"BDMV/PLAYLIST", "BDMV/CLIPINF", "BDMV/STREAM"})
            fs::create_directories(FRoot / sub);
        FClip.Version = "0100";
        FClip.InTime45 = 45000;
        FClip.OutTime45 = 45000 + 45 * 600000;  // ten minutes
        FClip.SourcePackets = 400000;
        FClip.RecordingRate = 6000000;
        FClip.Video = {4, 3, 3};
        FClip.Audio = TAudioAttributes {};
        // Entry points every half second, with packet numbers crossing several
        // 2^17 boundaries and times crossing coarse time steps.
        for (uint32_t i = 0; i < 1200; ++i)
            FClip.EntryPoints.push_back({90000 + uint64_t(i) * 45000, i * 333, i * 333 + 100});
        FClip.ChapterTimes45 = {45000, 45000 + 45 * 70120, 45000 + 45 * 140240};
    }
    void TearDown() override { fs::remove_all(FRoot); }

    void WriteAll()
    {
        WriteWholeFile((FRoot / "BDMV/index.bdmv").string(), BuildIndexFile(FClip));
        WriteWholeFile((FRoot / "BDMV/MovieObject.bdmv").string(), BuildMovieObjectFile(FClip));
        WriteWholeFile((FRoot / "BDMV/PLAYLIST/00000.mpls").string(), BuildPlaylistFile(FClip));
        WriteWholeFile((FRoot / "BDMV/CLIPINF/00000.clpi").string(), BuildClipInfoFile(FClip));
    }

    fs::path FRoot;
    TClipSummary FClip;
};

TEST_F(Structures, ClipInfoEpMapRoundTrips)
{
    WriteAll();
    CLPI_CL *cl = bd_read_clpi((FRoot / "BDMV/CLIPINF/00000.clpi").c_str());
    ASSERT_NE(cl, nullptr);
    EXPECT_EQ(cl->clip.num_source_packets, 400000u);
    ASSERT_EQ(cl->sequence.num_atc_seq, 1);
    EXPECT_EQ(cl->sequence.atc_seq[0].stc_seq[0].presentation_start_time, 45000u);
    EXPECT_EQ(cl->sequence.atc_seq[0].stc_seq[0].pcr_pid, kPcrPid);
    ASSERT_EQ(cl->program.num_prog, 1);
    ASSERT_EQ(cl->program.progs[0].num_streams, 2);
    EXPECT_EQ(cl->program.progs[0].streams[0].pid, kVideoPid);
    EXPECT_EQ(cl->program.progs[0].streams[0].coding_type, kStreamTypeH264);
    EXPECT_EQ(cl->program.progs[0].streams[1].coding_type, kStreamTypeAc3);
    ASSERT_EQ(cl->cpi.num_stream_pid, 1);
    const CLPI_EP_MAP_ENTRY &map = cl->cpi.entry[0];
    EXPECT_EQ(map.pid, kVideoPid);
    ASSERT_EQ(map.num_ep_fine, FClip.EntryPoints.size());
    // Rebuild every entry from its coarse and fine parts.
    for (uint32_t c = 0; c < uint32_t(map.num_ep_coarse); ++c) {
        uint32_t end =
            c + 1 < uint32_t(map.num_ep_coarse) ? map.coarse[c + 1].ref_ep_fine_id : map.num_ep_fine;
        for (uint32_t f = map.coarse[c].ref_ep_fine_id; f < end; ++f) {
            uint64_t pts45 =
                (uint64_t(map.coarse[c].pts_ep & ~1u) << 18) + (uint64_t(map.fine[f].pts_ep) << 8);
            uint32_t spn = (map.coarse[c].spn_ep & ~0x1FFFFu) + map.fine[f].spn_ep;
            EXPECT_EQ(spn, FClip.EntryPoints[f].Spn) << f;
            EXPECT_EQ(pts45, (FClip.EntryPoints[f].Pts90 / 2) & ~uint64_t(0xFF)) << f;
            EXPECT_EQ(map.fine[f].i_end_position_offset, 1);
        }
    }
    bd_free_clpi(cl);
}

TEST_F(Structures, LibblurayOpensOneTitleWithTheChapters)
{
    WriteAll();
    BLURAY *bd = bd_open(FRoot.c_str(), nullptr);
    ASSERT_NE(bd, nullptr);
    const BLURAY_DISC_INFO *info = bd_get_disc_info(bd);
    EXPECT_TRUE(info->bluray_detected);
    EXPECT_EQ(info->num_hdmv_titles, 1u);
    EXPECT_TRUE(info->first_play_supported);
    ASSERT_EQ(bd_get_titles(bd, TITLES_ALL, 0), 1u);
    BLURAY_TITLE_INFO *title = bd_get_title_info(bd, 0, 0);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->duration, 90000ull * 600);
    ASSERT_EQ(title->chapter_count, 3u);
    EXPECT_EQ(title->chapters[1].start, 2ull * 45 * 70120);
    EXPECT_EQ(title->chapters[2].start, 2ull * 45 * 140240);
    ASSERT_EQ(title->clip_count, 1u);
    EXPECT_EQ(title->clips[0].video_stream_count, 1);
    EXPECT_EQ(title->clips[0].audio_stream_count, 1);
    EXPECT_EQ(title->clips[0].video_streams[0].pid, kVideoPid);
    EXPECT_EQ(title->clips[0].audio_streams[0].pid, kAudioPid);
    bd_free_title_info(title);
    bd_close(bd);
}

TEST_F(Structures, HeadersCarryTheVersion)
{
    for (const char *version : {"0100", "0200"}) {
        FClip.Version = version;
        for (const auto &file : {BuildIndexFile(FClip), BuildMovieObjectFile(FClip), BuildPlaylistFile(FClip),
                                 BuildClipInfoFile(FClip)})
            EXPECT_EQ(std::string(file.begin() + 4, file.begin() + 8), version);
    }
}

TEST_F(Structures, IndexGivesFirstPlayTopMenuAndTitleObjectsOfTheirOwn)
{
    WriteAll();
    BLURAY *bd = bd_open(FRoot.c_str(), nullptr);
    ASSERT_NE(bd, nullptr);
    const BLURAY_DISC_INFO *info = bd_get_disc_info(bd);
    ASSERT_TRUE(info->first_play_supported);
    ASSERT_TRUE(info->top_menu_supported);
    ASSERT_EQ(info->num_titles, 1u);
    EXPECT_EQ(info->first_play->id_ref, kFirstPlayObject);
    EXPECT_EQ(info->top_menu->id_ref, kTopMenuObject);
    EXPECT_EQ(info->titles[1]->id_ref, kTitleObject);
    bd_close(bd);
}

TEST_F(Structures, MovieObjectsPlayTheTitleAndJumpToIt)
{
    std::vector<uint8_t> mobj = BuildMovieObjectFile(FClip);
    ASSERT_EQ(mobj.size(), 40u + 4 + 4 + 2 + 3 * (4 + 12));
    auto object = [&](int i) { return mobj.begin() + 50 + 16 * i; };
    // Title: resumed after a menu call, PLAY_PL with immediate operand 0.
    EXPECT_EQ(std::vector<uint8_t>(object(kTitleObject), object(kTitleObject) + 8),
              (std::vector<uint8_t> {0x80, 0x00, 0x00, 0x01, 0x22, 0x80, 0x00, 0x00}));
    // First play and top menu: JUMP_TITLE 1.
    for (uint16_t i : {kFirstPlayObject, kTopMenuObject})
        EXPECT_EQ(
            std::vector<uint8_t>(object(i), object(i) + 16),
            (std::vector<uint8_t> {0x00, 0x00, 0x00, 0x01, 0x21, 0x81, 0x00, 0x00, 0, 0, 0, 1, 0, 0, 0, 0}))
            << i;
}

}  // namespace
