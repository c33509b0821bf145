#include "src/app/parentfolder.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Folders present under the AVCHD folder, and what "Dossier AVCHD" shows.
struct ParentCase
{
    const char *what;
    bool makeProject, makeDisc, discActive;
    const char *expected;  // relative to the AVCHD folder; "-" for nothing
};

class ParentAVCHD : public testing::TestWithParam<ParentCase>
{ };

TEST_P(ParentAVCHD, ChoosesFirstExistingOfDiscProjectRoot)
{
    const ParentCase c = GetParam();
    QTemporaryDir tmp;
    const QString avchd = tmp.path() + QStringLiteral("/AVCHD");  // no trailing delimiter
    QDir().mkpath(avchd);
    if (c.makeProject)
        QDir().mkpath(avchd + QStringLiteral("/Vacances"));
    if (c.makeDisc)
        QDir().mkpath(avchd + QStringLiteral("/Vacances/Disque 2"));
    const QString got =
        ParentAVCHDFolder(avchd, QStringLiteral("Vacances"), QStringLiteral("Disque 2"), c.discActive);
    EXPECT_EQ(got, avchd + QString::fromUtf8(c.expected)) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, ParentAVCHD,
                         testing::Values(ParentCase {"disc folder exists", true, true, true,
                                                     "/Vacances/Disque 2"},
                                         ParentCase {"only project folder", true, false, true, "/Vacances/"},
                                         ParentCase {"neither", false, false, true, ""},
                                         ParentCase {"no active disc", true, true, false, ""}));

TEST(ParentAVCHD, NothingWhenAVCHDFolderIsMissing)
{
    EXPECT_TRUE(ParentAVCHDFolder(QStringLiteral("/no/such/AVCHD"), QString(), QString(), false).isEmpty());
    EXPECT_TRUE(ParentAVCHDFolder(QString(), QString(), QString(), false).isEmpty());
}

}  // namespace
