#include "src/prefs/burnerdrives.h"

#include <QFileInfo>

QList<TBurnerDrive> ParseDriveList(const QByteArray &output)
{
    QList<TBurnerDrive> drives;
    for (const QByteArray &line : output.split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split('\t');
        if (fields.size() != 3 || fields[0].trimmed().isEmpty())
            continue;
        drives.append({QString::fromLocal8Bit(fields[0].trimmed()),
                       QString::fromLocal8Bit(fields[1].trimmed()),
                       MediumText(QString::fromLatin1(fields[2].trimmed()))});
    }
    return drives;
}

QString MediumText(const QString &word)
{
    if (word == QLatin1String("blank"))
        return QStringLiteral("vierge");
    if (word == QLatin1String("written"))
        return QStringLiteral("non vierge");
    if (word == QLatin1String("empty"))
        return QStringLiteral("aucun disque");
    if (word == QLatin1String("unusable"))
        return QStringLiteral("disque non inscriptible");
    return QStringLiteral("état inconnu");
}

QString DriveText(const TBurnerDrive &drive)
{
    const QString model = drive.Model.isEmpty() ? QStringLiteral("Graveur") : drive.Model;
    return model + QStringLiteral(" (") + drive.Address + QStringLiteral(") - ") + drive.Medium;
}

TDriveListing ListBurnerDrives(const QString &imgburn, const std::function<void()> &whileWaiting)
{
    QByteArray output, errors;
    const TToolOutcome outcome = RunTool(imgburn, QStringLiteral("/LISTDRIVES"),
                                         [&](const QByteArray &out, const QByteArray &err, bool &) {
                                             output += out;
                                             errors += err;
                                             if (whileWaiting)
                                                 whileWaiting();
                                         });
    TDriveListing listing;
    if (outcome.End == TToolOutcome::Exited && outcome.Code == 0) {
        listing.Listed = true;
        listing.Drives = ParseDriveList(output);
        return listing;
    }
    listing.Failure = QStringLiteral("ImgBurn n'a pas pu chercher les graveurs");
    const QString said = QString::fromLocal8Bit(errors.trimmed());
    if (!said.isEmpty())
        listing.Failure += QStringLiteral(" : ") + said;
    return listing;
}

bool SameDrive(const QString &address, const TBurnerDrive &drive)
{
    if (address == drive.Address)
        return true;
    const QString real = QFileInfo(address).canonicalFilePath();
    return !real.isEmpty() && real == QFileInfo(drive.Address).canonicalFilePath();
}
