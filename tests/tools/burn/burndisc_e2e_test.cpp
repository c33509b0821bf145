// The whole road of a disc with the three programs this project builds
// installed side by side: fixture clips, DemuxDisc, MuxDisc, then BurnDisc
// of the authoring core writing to the stdio: destination of the burner's
// settings file. The image is judged by libudfread, udfinfo, libbluray and
// bd_info.
#include <gtest/gtest.h>
#include <libbluray/bluray.h>

#include <QFile>
#include <filesystem>
#include <fstream>

#include "src/authoring/abort.h"
#include "src/authoring/toolsteps.h"
#include "tests/tools/burn/burntesthelpers.h"
#include "src/clips/listfichier.h"
#include "tests/support/fixturedisc.h"

namespace {

using namespace burntest;

// Copies the built program into `folder`, as an installation would.
QString Install(const TTempDir &dir, const char *program)
{
    std::string target = dir / ("tools/" + std::string(program));
    std::filesystem::create_directories(dir / "tools");
    std::filesystem::copy_file(std::string(TAVREL_BIN_DIR "/") + program, target);
    return QString::fromStdString(target);
}

TEST(BurnDiscEndToEnd, ClipsBecomeAnImageLibblurayReads)
{
    AbortRequested = false;
    TTempDir dir;
    const QString root = QString::fromStdString(dir / "projet é/");
    TSettings settings = WorkFoldersIn(root);
    settings.eac3tofile = Install(dir, "eac3to");
    settings.tsMuxerFile = Install(dir, "tsmuxer");
    settings.ImgBurnFile = Install(dir, "imgburn");
    const std::string image = dir / "disque 1.img";
    std::ofstream(dir / "tools/imgburn.ini") << "[imgburn]\nDestination=stdio:" << image << "\n";

    TFixtureDisc fixture;
    TDisque &disc = fixture.Disc;
    ASSERT_EQ(disc.Clips.size(), 2);

    ToolOutputHandler handler = KeepAbortFlag;
    ASSERT_EQ(DemuxDisc(disc, settings, handler), TStepResult::Done);
    ASSERT_EQ(MuxDisc(disc, settings, handler), TStepResult::Done);
    ASSERT_EQ(BurnDisc(disc, settings), TStepResult::Done);
    ASSERT_TRUE(std::filesystem::exists(image));

    // The image holds the disc folder's BDMV and CERTIFICATE, byte for byte.
    const std::string folder = disc.DiscFolder(settings.DossierAVCHD).toStdString();
    const std::vector<std::string> sources = {folder + "BDMV", folder + "CERTIFICATE"};
    std::string error;
    TListing listing = ListImage(image, error);
    ASSERT_TRUE(error.empty()) << error;
    EXPECT_EQ(listing, ListSources(sources));
    EXPECT_EQ(CompareImageFiles(image, listing, sources), "");

    TRun info = RunProgram({"udfinfo", image});
    const std::string label = disc.VolumeLabel().toStdString();
    EXPECT_EQ(label, "Vacances - Disque 01");
    EXPECT_NE(info.out.find("\nlabel=" + label + "\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\nudfrev=2.50\n"), std::string::npos) << info.out;

    // libbluray opens the image file itself and finds the title and chapters.
    BLURAY *bd = bd_open(image.c_str(), nullptr);
    ASSERT_NE(bd, nullptr);
    ASSERT_EQ(bd_get_titles(bd, TITLES_ALL, 0), 1u);
    BLURAY_TITLE_INFO *title = bd_get_title_info(bd, 0, 0);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->chapter_count, 2u);
    EXPECT_NEAR(double(title->duration), 4.0 * 90000, 0.1 * 90000);
    bd_free_title_info(title);
    bd_close(bd);

    // bd_info reports the disc and its title count (chapters only through
    // the library, above).
    TRun bdInfo = RunProgram({"bd_info", image});
    EXPECT_EQ(bdInfo.exitCode, 0) << bdInfo.err;
    for (const std::string &line :
         {"Volume Identifier   : " + label, std::string("BluRay detected     : yes"),
          std::string("HDMV titles         : 1")})
        EXPECT_NE(bdInfo.out.find(line + "\n"), std::string::npos) << bdInfo.out;
}

}  // namespace
