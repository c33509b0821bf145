// Where the discs go, as the settings say: the first burner found, a
// chosen burner, or one image file per disc. The burner's command line
// takes its destination from here, the disc page names it in its status and
// log, and a run checks it before it starts.
#pragma once

#include "src/authoring/disque.h"
#include "src/prefs/burnerdrives.h"
#include "src/prefs/settings.h"

#include <QString>

#include <functional>

struct TBurnTarget
{
    enum TKind { FirstDrive, Drive, ImageFile };
    TKind Kind = FirstDrive;
    QString Dest;  // the drive address or the image file; empty for the first drive
};

// "{DossierImages}{project} - {disc name}.iso"
QString ImageFilePath(const TDisque &disc, const TSettings &settings);
TBurnTarget BurnTargetOf(const TDisque &disc, const TSettings &settings);

// The log line once the disc is written there.
QString BurnDoneText(const TDisque &disc, const TBurnTarget &target);
QString BurnFailureText(const TDisque &disc, const TBurnTarget &target);
// The burner refused the disc before writing: larger than the medium in the
// drive, or than the room left for the image file.
QString BurnNoRoomText(const TDisque &disc, const TBurnTarget &target);

using TDriveLister = std::function<TDriveListing()>;

// Checks before a run that writes discs of at most discBytes bytes: the
// chosen burner is there (the folder of a stdio: file), or the image folder
// exists (it is made when missing) with room for one disc. Without a chosen
// burner the burner takes the first it finds, and nothing is checked. Empty
// when the run may start, else what stops it, in French. listDrives is only
// called for a chosen burner.
QString CheckDestination(const TSettings &settings, int64_t discBytes, const TDriveLister &listDrives);
