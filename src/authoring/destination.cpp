#include "src/authoring/destination.h"

#include "src/platform/pathdelim.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStorageInfo>

#include <algorithm>

namespace {

const QString kStdioPrefix = QStringLiteral("stdio:");

// Where the target is, after "sur" or "dans". The first drive found is
// named by the burner, in the log.
QString Place(const TBurnTarget &target)
{
    switch (target.Kind) {
    case TBurnTarget::FirstDrive: return {};
    case TBurnTarget::Drive: return QStringLiteral(" sur ") + target.Dest;
    case TBurnTarget::ImageFile: break;
    }
    return QStringLiteral(" dans ") + target.Dest;
}

// An image file is written, a DVD burnt.
QString ForMedium(const TBurnTarget &target, const QString &imageText, const QString &dvdText)
{
    return target.Kind == TBurnTarget::ImageFile ? imageText : dvdText;
}

QString Gigabytes(int64_t bytes)
{
    return QLocale(QLocale::French).toString(double(bytes) / 1e9, 'f', 1) + QStringLiteral(" Go");
}

QString OfferImages()
{
    return QStringLiteral(" Choisissez un graveur ou « Fichier image (.iso) » dans les options (F10).");
}

QString CheckDrive(const TSettings &settings, const TDriveLister &listDrives)
{
    const QString &address = settings.Destination;
    // A stdio: pseudo-drive is a file that the burner makes: its folder
    // must be there.
    if (address.startsWith(kStdioPrefix)) {
        const QString folder = QFileInfo(address.mid(kStdioPrefix.size())).absolutePath();
        if (QFileInfo(folder).isDir())
            return {};
        return QStringLiteral("Le dossier ") + folder + QStringLiteral(" de la destination ") + address
               + QStringLiteral(" n'existe pas.") + OfferImages();
    }
    const TDriveListing listing = listDrives();
    if (!listing.Listed)
        return listing.Failure + u'.';
    const bool found = std::any_of(listing.Drives.begin(), listing.Drives.end(),
                                   [&](const TBurnerDrive &drive) { return SameDrive(address, drive); });
    if (found)
        return {};
    return QStringLiteral("Le graveur ") + address + QStringLiteral(" est introuvable.") + OfferImages();
}

QString CheckImageFolder(const TSettings &settings, int64_t discBytes)
{
    const QString &folder = settings.DossierImages;
    if (!QDir().mkpath(folder))
        return QStringLiteral("Le dossier des images ") + folder + QStringLiteral(" ne peut pas être créé.");
    const int64_t room = QStorageInfo(folder).bytesAvailable();
    if (room >= 0 && room < discBytes)
        return QStringLiteral("Le dossier des images ") + folder + QStringLiteral(" n'a que ")
               + Gigabytes(room) + QStringLiteral(" de libre ; il en faut ") + Gigabytes(discBytes)
               + QStringLiteral(" pour un disque.");
    return {};
}

}  // namespace

QString ImageFilePath(const TDisque &disc, const TSettings &settings)
{
    return IncludeTrailingPathDelimiter(settings.DossierImages) + disc.VolumeLabel() + QStringLiteral(".iso");
}

TBurnTarget BurnTargetOf(const TDisque &disc, const TSettings &settings)
{
    if (settings.Destination == kImageDestination)
        return {TBurnTarget::ImageFile, ImageFilePath(disc, settings)};
    if (settings.Destination.isEmpty())
        return {};
    return {TBurnTarget::Drive, settings.Destination};
}

QString BurnDoneText(const TDisque &disc, const TBurnTarget &target)
{
    return disc.DiscName() + ForMedium(target, QStringLiteral(" écrit"), QStringLiteral(" gravé"))
           + Place(target);
}

QString BurnFailureText(const TDisque &disc, const TBurnTarget &target)
{
    return ForMedium(target, QStringLiteral("Erreur pendant l'écriture du disque "),
                     QStringLiteral("Erreur pendant la gravure du disque "))
           + disc.DiscName() + Place(target);
}

QString BurnNoRoomText(const TDisque &disc, const TBurnTarget &target)
{
    if (target.Kind == TBurnTarget::ImageFile)
        return QStringLiteral("Pas assez de place pour le disque ") + disc.DiscName() + Place(target)
               + QStringLiteral(" : rien n'a été écrit.");
    const QString drive = target.Dest.isEmpty() ? QString() : QStringLiteral(" de ") + target.Dest;
    return QStringLiteral("Le disque ") + disc.DiscName() + QStringLiteral(" ne tient pas sur le DVD") + drive
           + QStringLiteral(
               " : rien n'a été gravé. Mettez un DVD double couche ou choisissez « DVD (4,7 Go) » "
               "dans les options (F10).");
}

QString CheckDestination(const TSettings &settings, int64_t discBytes, const TDriveLister &listDrives)
{
    if (settings.Destination == kImageDestination)
        return CheckImageFolder(settings, discBytes);
    // The first drive found is the burner's own choice, which its settings
    // file may also make: it is left to the burner.
    if (settings.Destination.isEmpty())
        return {};
    return CheckDrive(settings, listDrives);
}
