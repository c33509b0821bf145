// Where the discs go: the image file of each disc, and the check before a
// run that refuses a burner that is not there or an image folder without
// room for a disc.
#include "src/authoring/destination.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Disque 02 of "Vacances", with the images in /data/images/.
class DiscTarget : public testing::Test
{
protected:
    DiscTarget()
    {
        FDisc.Project = QStringLiteral("Vacances");
        FDisc.Number = 2;
        FSettings.DossierImages = QStringLiteral("/data/images/");
    }

    TDisque FDisc {kDiscCapacity};
    TSettings FSettings;
};

TEST_F(DiscTarget, ImageFileIsNamedAfterTheProjectAndTheDisc)
{
    FSettings.Destination = kImageDestination;
    EXPECT_EQ(ImageFilePath(FDisc, FSettings), QStringLiteral("/data/images/Vacances - Disque 02.iso"));
    const TBurnTarget target = BurnTargetOf(FDisc, FSettings);
    EXPECT_EQ(target.Kind, TBurnTarget::ImageFile);
    EXPECT_EQ(target.Dest, ImageFilePath(FDisc, FSettings));
    // The log names the file.
    EXPECT_EQ(BurnDoneText(FDisc, target),
              QStringLiteral("Disque 02 écrit dans /data/images/Vacances - Disque 02.iso"));
    FSettings.Destination = QStringLiteral("/dev/sr1");
    EXPECT_EQ(BurnFailureText(FDisc, BurnTargetOf(FDisc, FSettings)),
              QStringLiteral("Erreur pendant la gravure du disque Disque 02 sur /dev/sr1"));
    EXPECT_TRUE(
        BurnNoRoomText(FDisc, BurnTargetOf(FDisc, FSettings))
            .startsWith(QStringLiteral("Le disque Disque 02 ne tient pas sur le DVD de /dev/sr1 : ")));
}

// The log and a failure name where the disc went: an image file is
// written, a DVD burnt.
TEST_F(DiscTarget, BurnTextsNameTheMediumAndThePlace)
{
    const struct
    {
        QString destination;
        const char *done;
        const char *failure;
    } cases[] = {
        {kImageDestination, "Disque 02 écrit dans /data/images/Vacances - Disque 02.iso",
         "Erreur pendant l'écriture du disque Disque 02 dans /data/images/Vacances - Disque 02.iso"},
        {QStringLiteral("/dev/sr1"), "Disque 02 gravé sur /dev/sr1",
         "Erreur pendant la gravure du disque Disque 02 sur /dev/sr1"},
        {QString(), "Disque 02 gravé", "Erreur pendant la gravure du disque Disque 02"},
    };
    for (const auto &c : cases) {
        FSettings.Destination = c.destination;
        const TBurnTarget target = BurnTargetOf(FDisc, FSettings);
        EXPECT_EQ(BurnDoneText(FDisc, target), QString::fromUtf8(c.done));
        EXPECT_EQ(BurnFailureText(FDisc, target), QString::fromUtf8(c.failure));
    }
}

struct TCheckCase
{
    const char *Title;
    QString Destination;  // "{dir}" is the test folder
    QString Images;  // DossierImages
    int64_t DiscBytes;
    bool Listed;  // the burner answered the listing
    QStringList Drives;  // addresses it lists
    QString Expected;  // the message, empty when the run may start
    bool ListingAsked;
};

class CheckDestinationTest : public testing::TestWithParam<TCheckCase>
{ };

TEST_P(CheckDestinationTest, SaysWhatStopsTheRun)
{
    const TCheckCase &c = GetParam();
    QTemporaryDir dir;
    const auto place = [&dir](QString text) { return text.replace(QStringLiteral("{dir}"), dir.path()); };
    QFile(dir.filePath(QStringLiteral("sr0"))).open(QIODevice::WriteOnly);
    QFile::link(dir.filePath(QStringLiteral("sr0")), dir.filePath(QStringLiteral("cdrom")));
    QFile(dir.filePath(QStringLiteral("file"))).open(QIODevice::WriteOnly);
    TSettings settings;
    settings.Destination = place(c.Destination);
    settings.DossierImages = place(c.Images);
    bool asked = false;
    const QString message = CheckDestination(settings, c.DiscBytes, [&] {
        asked = true;
        TDriveListing listing;
        listing.Listed = c.Listed;
        listing.Failure = c.Listed ? QString() : QStringLiteral("ImgBurn n'a pas pu chercher les graveurs");
        for (const QString &address : c.Drives)
            listing.Drives.append({place(address), QStringLiteral("Graveur"), QStringLiteral("vierge")});
        return listing;
    });
    EXPECT_EQ(message, place(c.Expected));
    EXPECT_EQ(asked, c.ListingAsked);
    if (c.Destination == kImageDestination && c.Expected.isEmpty()) {
        EXPECT_TRUE(QFileInfo(settings.DossierImages).isDir());
    }
}

const QString kOffer =
    QStringLiteral(" Choisissez un graveur ou « Fichier image (.iso) » dans les options (F10).");

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckDestinationTest,
    testing::Values(
        TCheckCase {"FirstDriveIsTheBurnersChoice", "", "", 1, true, {}, "", false},
        TCheckCase {"ChosenDriveListed", "/dev/sr0", "", 1, true, {"/dev/sr1", "/dev/sr0"}, "", true},
        TCheckCase {"ChosenDriveThroughALink", "{dir}/cdrom", "", 1, true, {"{dir}/sr0"}, "", true},
        TCheckCase {"ChosenDriveMissing",
                    "/dev/sr9",
                    "",
                    1,
                    true,
                    {"/dev/sr0"},
                    "Le graveur /dev/sr9 est introuvable." + kOffer,
                    true},
        TCheckCase {"NoDriveAtAll",
                    "/dev/sr0",
                    "",
                    1,
                    true,
                    {},
                    "Le graveur /dev/sr0 est introuvable." + kOffer,
                    true},
        TCheckCase {"BurnerDoesNotAnswer",
                    "/dev/sr0",
                    "",
                    1,
                    false,
                    {},
                    "ImgBurn n'a pas pu chercher les graveurs.",
                    true},
        TCheckCase {"StdioFileInAFolder", "stdio:{dir}/disc.img", "", 1, true, {}, "", false},
        TCheckCase {"StdioFileFolderMissing",
                    "stdio:{dir}/none/disc.img",
                    "",
                    1,
                    true,
                    {},
                    "Le dossier {dir}/none de la destination stdio:{dir}/none/disc.img n'existe pas."
                        + kOffer,
                    false},
        TCheckCase {"ImageFolderMade", "image", "{dir}/images/Tavrel/", 1, true, {}, "", false},
        TCheckCase {"ImageFolderCannotBeMade",
                    "image",
                    "{dir}/file/images/",
                    1,
                    true,
                    {},
                    "Le dossier des images {dir}/file/images/ ne peut pas être créé.",
                    false}),
    [](const auto &info) { return std::string(info.param.Title); });

// A disc larger than the room left in the image folder: both sizes are
// named, in gigabytes.
TEST(CheckDestinationRoom, RefusesAnImageFolderTooSmallForADisc)
{
    QTemporaryDir dir;
    TSettings settings;
    settings.Destination = kImageDestination;
    settings.DossierImages = dir.path() + QStringLiteral("/");
    const QString message = CheckDestination(settings, int64_t(1) << 60, [] { return TDriveListing(); });
    EXPECT_TRUE(message.startsWith(QStringLiteral("Le dossier des images ") + settings.DossierImages
                                   + QStringLiteral(" n'a que ")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral(" Go de libre ; il en faut ")));
    EXPECT_TRUE(message.endsWith(QStringLiteral(",6 Go pour un disque."))) << message.toStdString();
}

}  // namespace
