// The burners the burner program finds ("imgburn /LISTDRIVES"), for the
// options page's choice and the check before a run. The program prints one
// line per drive: address, model and medium, separated by tabs; the medium
// is one of "blank", "written", "empty", "unusable" and "unknown".
#pragma once

#include "src/platform/runtool.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

struct TBurnerDrive
{
    QString Address;  // as the burner names it: "/dev/sr0"
    QString Model;  // vendor and product, possibly empty
    QString Medium;  // in French: "vierge", "non vierge", "aucun disque"…
};

struct TDriveListing
{
    bool Listed = false;  // the burner ran and answered
    QList<TBurnerDrive> Drives;
    QString Failure;  // why it did not answer, in French, when not Listed
};

// The drives of the program's output; lines that are not drives are left out.
QList<TBurnerDrive> ParseDriveList(const QByteArray &output);

// The medium word of the program in French.
QString MediumText(const QString &word);

// "Model (/dev/sr0) - vierge", as the options page lists a drive.
QString DriveText(const TBurnerDrive &drive);

// Runs "{imgburn} /LISTDRIVES" and waits for it; whileWaiting, when given,
// is called about every millisecond meanwhile (to keep a window answering).
TDriveListing ListBurnerDrives(const QString &imgburn, const std::function<void()> &whileWaiting = {});

// Whether address names the drive listed as drive (the same device, through
// a link such as /dev/cdrom or not).
bool SameDrive(const QString &address, const TBurnerDrive &drive);
