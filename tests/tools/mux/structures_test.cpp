// The disc structure files, read back by libbluray.
#include <gtest/gtest.h>

#include <filesystem>
#include <libbluray/bluray.h>
#include <libbluray/clpi_data.h>
#include <unistd.h>

#include "tools/mux/clipsummary.h"
#include "tools/mux/muxfile.h"

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
        FClip.Video = {EVideoFormat::Interlaced1080, EFrameRate::Fps25, EAspectRatio::Ratio16x9};
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

// The AVCHD extension of an index.bdmv written by a widely played muxer for
// a one-playlist disc, from the extension's address field to the end of
// the file (xxd lines, zero lines left out); its maker text, at 0xC0 and at
// 0xEF, is "TR 0.0.1.8".
const char *const kReferenceExtension[] = {
    "00000000: 494e 4458 3031 3030 0000 004e 0000 0078", "00000070: 0000 0000 0000 0000 0000 0192 0000 0018",
    "00000080: 0000 0001 1000 0100 0000 0018 0000 017e", "00000090: 4944 4558 0000 0000 0000 0162 0000 0000",
    "000000b0: 0000 0000 0000 0000 0000 0136 1013 0001", "000000c0: 5452 2030 2e30 2e31 2e38 0000 0000 0000",
    "000000e0: 0006 ffff 4220 0708 0800 5453 0090 0a54", "000000f0: 5220 302e 302e 312e 3800 0000 0000 0000",
    "000001f0: 0000 0000 0018 0000 0002 0000 0000 0002", "00000200: 0000 0001 3030 3030 3001 0000 0000 0000",
};
constexpr size_t kReferenceSize = 0x210;
constexpr size_t kExtensionStart = 0x78;
constexpr size_t kMakerField = 0xC0, kMakerFieldSize = 32, kMakerCopy = 0xEF;

std::vector<uint8_t> ReferenceIndexBytes()
{
    std::vector<uint8_t> bytes(kReferenceSize, 0);
    for (const char *line : kReferenceExtension) {
        size_t at = std::stoul(std::string(line, 8), nullptr, 16);
        for (const char *hex = line + 10; *hex; hex += (hex[2] == ' ' ? 1 : 0) + 2)
            bytes[at++] = uint8_t(std::stoul(std::string(hex, 2), nullptr, 16));
    }
    return bytes;
}

// The extension follows the reference byte for byte, lengths and addresses
// included, with a maker text of our own in both places the reference has one.
TEST_F(Structures, IndexCarriesTheAvchdExtensionOfTheReferenceLayout)
{
    std::vector<uint8_t> index = BuildIndexFile(FClip);
    std::vector<uint8_t> reference = ReferenceIndexBytes();
    ASSERT_EQ(index.size(), reference.size());
    const std::string maker(reinterpret_cast<const char *>(&index[kMakerField]));
    EXPECT_EQ(maker.rfind("Tavrel ", 0), 0u) << maker;
    ASSERT_LE(maker.size(), kMakerFieldSize);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&index[kMakerCopy])), maker);
    // Put the reference's maker text in place of ours, then compare.
    const std::string theirs = "TR 0.0.1.8";
    for (size_t at : {kMakerField, kMakerCopy}) {
        std::fill(index.begin() + long(at), index.begin() + long(at + maker.size()), 0);
        std::copy(theirs.begin(), theirs.end(), index.begin() + long(at));
    }
    EXPECT_EQ(std::vector<uint8_t>(index.begin() + 12, index.begin() + 16),
              std::vector<uint8_t>(reference.begin() + 12, reference.begin() + 16));
    for (size_t at = kExtensionStart; at < reference.size(); ++at)
        EXPECT_EQ(int(index[at]), int(reference[at])) << "at 0x" << std::hex << at;
}

// libbluray skips the extension: what it reads of the disc is the same
// with the extension and with the index cut before it.
TEST_F(Structures, LibblurayReadsTheDiscAlikeWithOrWithoutTheExtension)
{
    struct TSeen
    {
        std::vector<uint32_t> Disc;
        std::vector<uint64_t> Title;
    };
    auto read = [&] {
        TSeen seen;
        BLURAY *bd = bd_open(FRoot.c_str(), nullptr);
        EXPECT_NE(bd, nullptr);
        if (!bd)
            return seen;
        const BLURAY_DISC_INFO *info = bd_get_disc_info(bd);
        seen.Disc = {info->bluray_detected,      info->num_titles,         info->num_hdmv_titles,
                     info->first_play_supported, info->top_menu_supported, info->first_play->id_ref,
                     info->top_menu->id_ref,     info->titles[1]->id_ref,  info->titles[1]->interactive};
        EXPECT_EQ(bd_get_titles(bd, TITLES_ALL, 0), 1u);
        if (BLURAY_TITLE_INFO *title = bd_get_title_info(bd, 0, 0)) {
            seen.Title = {title->duration, title->chapter_count, title->clip_count, title->mark_count};
            for (uint32_t i = 0; i < title->chapter_count; ++i)
                seen.Title.push_back(title->chapters[i].start);
            bd_free_title_info(title);
        }
        bd_close(bd);
        return seen;
    };
    WriteAll();
    const TSeen with = read();
    std::vector<uint8_t> index = BuildIndexFile(FClip);
    index.resize(kExtensionStart);
    std::fill(index.begin() + 12, index.begin() + 16, 0);  // no extension data
    WriteWholeFile((FRoot / "BDMV/index.bdmv").string(), index);
    const TSeen without = read();
    EXPECT_EQ(with.Disc, without.Disc);
    EXPECT_EQ(with.Title, without.Title);
    EXPECT_EQ(with.Disc.size(), 9u);
    EXPECT_EQ(with.Title.size(), 4u + 3u);
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
