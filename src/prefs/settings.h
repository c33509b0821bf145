// The settings the program remembers from one run to the next, their
// storage keys and defaults, and the load and save passes through the
// preference store. Fields share their names with their keys.
#pragma once

#include "src/prefs/preferences.h"

#include <QSize>
#include <QString>

#include <cstdint>

// Registry key path and ini section of every setting.
inline const QString SettingsSection = QStringLiteral("\\Software\\Morvek\\Tavrel");
// Written as the "version" value of each save.
inline const QString SettingsVersion = QStringLiteral("Tavrel 1.0.3 fr de Morvek");

// The Destination that writes image files instead of burning.
inline const QString kImageDestination = QStringLiteral("image");
// The two disc sizes offered: a DVD and a dual-layer DVD, in bytes of clip
// files, with room to spare for the file system.
inline constexpr int64_t kDvdSize = 4'600'000'000;
inline constexpr int64_t kDualLayerDvdSize = 8'400'000'000;

struct TSettings
{
    TPrefsMode PrefsMode = pmNone;
    QString PortablePath;  // executable folder, with trailing "/", at the last save
    QString DossierOuvrir;  // folder proposed when clips are opened
    QString DossierAVCHD;  // folder under which the AVCHD trees are built
    int32_t mainWidth = 696;
    int32_t mainHeight = 556;
    int32_t maintop = 0;
    int32_t mainleft = 0;
    QString SortIndex = QStringLiteral("alpha");
    bool DeleteMeta = true;  // delete the meta file once a disc is muxed
    bool DeleteFlux = true;  // delete the demuxed streams once a disc is muxed
    QString eac3tofile;  // full path of the demuxer
    QString Dossiermeta;  // folder of the meta files, ends with "/" after a load
    QString tsMuxerFile;  // full path of the muxer
    QString DossierFlux;  // folder of the demuxed streams, ends with "/" after a load
    QString ImgBurnFile;  // full path of the burner
    // Where the burner writes: empty for the first drive it finds, a drive
    // address as it names it ("/dev/sr0", "stdio:/path"), or kImageDestination
    // for one image file per disc in DossierImages.
    QString Destination;
    QString DossierImages;  // folder of the image files, ends with "/" after a load
    bool Verifier = true;  // read the disc or image back after writing and compare
    int64_t TailleDisque = kDvdSize;  // bytes of clip files a disc may hold
};

// The one record of the running program.
extern TSettings Settings;

// Decides the storage mode and fills every field; screen is the size of the
// screen the main window is centred on by default. False with *error set
// when Tavrel.ini exists but cannot be read; no field is read then. An
// empty tool path takes the tool's copy in the executable's folder, if any.
bool LoadSettings(TSettings &settings, QSize screen, QString *error = nullptr,
                  const TPrefsLocation &where = TPrefsLocation::Current());

// Writes every field to the store of settings.PrefsMode. False with *error
// set to the system's error text when the ini file or the hive could not be
// written; the old file is then intact.
bool SaveSettings(const TSettings &settings, QString *error = nullptr,
                  const TPrefsLocation &where = TPrefsLocation::Current());

// Removes the settings key from the hive (and its parent when that is left
// without subkeys). Failures are ignored.
void DeleteRegistrySettings(const TPrefsLocation &where = TPrefsLocation::Current());

// Removes Tavrel.ini beside the executable, read-only or not. Failures are
// ignored.
void DeleteIniSettings(const TPrefsLocation &where = TPrefsLocation::Current());

// A path moved from folder oldFolder to newFolder: when all three are
// non-empty and path starts with oldFolder (ignoring letter case), that
// start is replaced by newFolder; otherwise path is returned unchanged.
QString RebasePath(const QString &path, const QString &oldFolder, const QString &newFolder);
