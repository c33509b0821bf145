// The burners the burner program lists: its lines read, its media named in
// French, and the program run as the options page and the check before a
// run do (here a script standing in for it).
#include "src/prefs/burnerdrives.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(ParseDriveList, ReadsOneDrivePerLineAndSkipsTheRest)
{
    const QByteArray output = "/dev/sr0\tHL-DT-ST DVDRAM GH24NSD1\tblank\n"
                              "some message\n"
                              "/dev/sr1\t\tempty\r\n"
                              "/dev/sr2\tASUS DRW\twritten\n"
                              "/dev/sr3\tX\tunusable\n"
                              "/dev/sr4\tY\tunknown\n"
                              "\t\t\n";
    const QList<TBurnerDrive> drives = ParseDriveList(output);
    ASSERT_EQ(drives.size(), 5);
    EXPECT_EQ(drives[0].Address, "/dev/sr0");
    EXPECT_EQ(drives[0].Model, "HL-DT-ST DVDRAM GH24NSD1");
    const QStringList media = {"vierge", "aucun disque", "non vierge", "disque non inscriptible",
                               "état inconnu"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(drives[i].Medium, media[i]) << i;
    EXPECT_EQ(DriveText(drives[0]), "HL-DT-ST DVDRAM GH24NSD1 (/dev/sr0) - vierge");
    EXPECT_EQ(DriveText(drives[1]), "Graveur (/dev/sr1) - aucun disque");
}

class ListBurnerDrivesTest : public testing::Test
{
protected:
    // A burner that answers /LISTDRIVES with the script's body.
    QString Burner(const QByteArray &body)
    {
        const QString path = FDir.filePath(QStringLiteral("imgburn"));
        QFile script(path);
        EXPECT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\n[ \"$1\" = /LISTDRIVES ] || exit 3\n" + body);
        script.close();
        script.setPermissions(script.permissions() | QFile::ExeOwner);
        return path;
    }

    QTemporaryDir FDir;
};

TEST_F(ListBurnerDrivesTest, GivesTheDrivesTheBurnerPrints)
{
    int waits = 0;
    const TDriveListing listing =
        ListBurnerDrives(Burner("printf '/dev/sr0\\tLITE-ON\\tblank\\n'\n"), [&waits] { ++waits; });
    ASSERT_TRUE(listing.Listed) << listing.Failure.toStdString();
    ASSERT_EQ(listing.Drives.size(), 1);
    EXPECT_EQ(listing.Drives[0].Address, "/dev/sr0");
    EXPECT_GT(waits, 0);
}

TEST_F(ListBurnerDrivesTest, NoDriveIsAnEmptyList)
{
    const TDriveListing listing = ListBurnerDrives(Burner(""));
    EXPECT_TRUE(listing.Listed);
    EXPECT_TRUE(listing.Drives.isEmpty());
}

TEST_F(ListBurnerDrivesTest, AFailedBurnerSaysWhy)
{
    const TDriveListing failed = ListBurnerDrives(Burner("echo 'Unknown switch /LISTDRIVES.' >&2\nexit 2\n"));
    EXPECT_FALSE(failed.Listed);
    EXPECT_EQ(failed.Failure, "ImgBurn n'a pas pu chercher les graveurs : Unknown switch /LISTDRIVES.");
    const TDriveListing missing = ListBurnerDrives(FDir.filePath(QStringLiteral("none")));
    EXPECT_FALSE(missing.Listed);
    EXPECT_EQ(missing.Failure, "ImgBurn n'a pas pu chercher les graveurs");
}

TEST(SameDrive, ComparesAddressesThroughLinks)
{
    QTemporaryDir dir;
    QFile(dir.filePath("sr0")).open(QIODevice::WriteOnly);
    QFile::link(dir.filePath("sr0"), dir.filePath("cdrom"));
    const TBurnerDrive drive {dir.filePath("sr0"), {}, {}};
    EXPECT_TRUE(SameDrive(dir.filePath("cdrom"), drive));
    EXPECT_TRUE(SameDrive(dir.filePath("sr0"), drive));
    EXPECT_FALSE(SameDrive(dir.filePath("sr1"), drive));
    EXPECT_TRUE(SameDrive("/dev/sr9", {"/dev/sr9", {}, {}}));
}

}  // namespace
