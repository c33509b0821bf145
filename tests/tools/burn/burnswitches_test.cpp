// The burner's command line: the line the authoring core sends, letter
// case, flags with YES/NO, and every kind of refusal.
#include "tools/burn/burnswitches.h"

#include <gtest/gtest.h>

namespace {

struct TSwitchCase
{
    const char *Title;
    std::vector<std::string> Args;
    const char *Error;  // expected in the errors, or nullptr for none
    TOutputMode Output = TOutputMode::Device;
    std::vector<std::string> Sources = {};
    bool Verify = false, Eject = false, WaitForMedia = false;
    const char *Label = nullptr;
    const char *Dest = "";
    bool ListDrives = false;
};

class BurnSwitchesTest : public testing::TestWithParam<TSwitchCase>
{ };

TEST_P(BurnSwitchesTest, Parses)
{
    const TSwitchCase &c = GetParam();
    std::vector<std::string> errors;
    TBurnSwitches s = ParseBurnSwitches(c.Args, errors);
    if (c.Error) {
        std::string all;
        for (const auto &e : errors)
            all += e + "\n";
        EXPECT_NE(all.find(c.Error), std::string::npos) << all;
        return;
    }
    ASSERT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(s.Output, c.Output);
    EXPECT_EQ(s.Sources, c.Sources);
    EXPECT_EQ(s.Verify, c.Verify);
    EXPECT_EQ(s.Eject, c.Eject);
    EXPECT_EQ(s.WaitForMedia, c.WaitForMedia);
    EXPECT_EQ(s.VolumeLabel.has_value(), c.Label != nullptr);
    if (c.Label) {
        EXPECT_EQ(*s.VolumeLabel, c.Label);
    }
    EXPECT_EQ(s.Dest, c.Dest);
    EXPECT_EQ(s.ListDrives, c.ListDrives);
}

// The authoring core's line after the Windows command-line split: the two
// quoted folders joined by "|" arrive as one argument.
const std::vector<std::string> CoreLine = {"/MODE",
                                           "BUILD",
                                           "/BUILDOUTPUTMODE",
                                           "DEVICE",
                                           "/SRC",
                                           "/data/AVCHD/P 1/BDMV|/data/AVCHD/P 1/CERTIFICATE",
                                           "/FILESYSTEM",
                                           "UDF",
                                           "/UDFREVISION",
                                           "2.50",
                                           "/VERIFY",
                                           "NO",
                                           "/VOLUMELABEL",
                                           "Projet - Disque 1",
                                           "/EJECT",
                                           "/CLOSESUCCESS",
                                           "/NOIMAGEDETAILS",
                                           "/WAITFORMEDIA",
                                           "/START"};

INSTANTIATE_TEST_SUITE_P(
    Lines, BurnSwitchesTest,
    testing::Values(
        TSwitchCase {"core",
                     CoreLine,
                     nullptr,
                     TOutputMode::Device,
                     {"/data/AVCHD/P 1/BDMV", "/data/AVCHD/P 1/CERTIFICATE"},
                     false,
                     true,
                     true,
                     "Projet - Disque 1"},
        TSwitchCase {"lowercase",
                     {"/mode", "build", "/buildoutputmode", "imagefile", "/src", "/a", "/dest", "/x.img",
                      "/verify", "yes", "/Eject", "no"},
                     nullptr,
                     TOutputMode::ImageFile,
                     {"/a"},
                     true,
                     false,
                     false,
                     nullptr,
                     "/x.img"},
        TSwitchCase {"bare flags mean yes",
                     {"/MODE", "BUILD", "/SRC", "/a", "/VERIFY", "/EJECT", "/WAITFORMEDIA"},
                     nullptr,
                     TOutputMode::Device,
                     {"/a"},
                     true,
                     true,
                     true},
        TSwitchCase {"sources accumulate, quotes kept by the caller are dropped",
                     {"/MODE", "BUILD", "/SRC", "\"/a\"|\"/b c\"", "/SRC", "/d|", "/DEST", "stdio:/t/x"},
                     nullptr,
                     TOutputMode::Device,
                     {"/a", "/b c", "/d"},
                     false,
                     false,
                     false,
                     nullptr,
                     "stdio:/t/x"},
        TSwitchCase {
            "unknown switch", {"/MODE", "BUILD", "/SRC", "/a", "/OVERBURN"}, "Unknown switch /OVERBURN."},
        TSwitchCase {
            "stray argument", {"/MODE", "BUILD", "/SRC", "/a", "extra"}, "Unexpected argument \"extra\""},
        TSwitchCase {"value missing", {"/MODE", "BUILD", "/SRC"}, "/SRC needs a value."},
        TSwitchCase {"other mode", {"/MODE", "WRITE", "/SRC", "/a"}, "/MODE WRITE is not supported"},
        TSwitchCase {"other file system",
                     {"/MODE", "BUILD", "/SRC", "/a", "/FILESYSTEM", "ISO9660"},
                     "/FILESYSTEM ISO9660 is not supported"},
        TSwitchCase {"other revision",
                     {"/MODE", "BUILD", "/SRC", "/a", "/UDFREVISION", "2.01"},
                     "/UDFREVISION 2.01 is not supported"},
        TSwitchCase {"other output",
                     {"/MODE", "BUILD", "/SRC", "/a", "/BUILDOUTPUTMODE", "TAPE"},
                     "/BUILDOUTPUTMODE TAPE is not known"},
        TSwitchCase {"list drives alone needs no mode or source",
                     {"/listdrives"},
                     nullptr,
                     TOutputMode::Device,
                     {},
                     false,
                     false,
                     false,
                     nullptr,
                     "",
                     true},
        TSwitchCase {"list drives with an unknown switch", {"/LISTDRIVES", "/ALL"}, "Unknown switch /ALL."},
        TSwitchCase {"no mode", {"/SRC", "/a"}, "No /MODE given"},
        TSwitchCase {"no source", {"/MODE", "BUILD"}, "No source folder given"}),
    [](const testing::TestParamInfo<TSwitchCase> &info) {
        std::string name;
        for (char c : std::string(info.param.Title))
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

}  // namespace
