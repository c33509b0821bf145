#include "src/prefs/settings.h"

#include "src/platform/datetime.h"
#include "src/platform/logging.h"
#include "src/prefs/missingtools.h"
#include "src/platform/pathdelim.h"
#include "src/platform/registry.h"
#include "src/platform/shell.h"

#include <QFileInfo>

TSettings Settings;

namespace {

// Tavrel.ini beside the executable wins; otherwise the registry, but only
// when it was written by this very executable.
TPrefsMode DecideMode(const TPrefsLocation &where)
{
    if (QFileInfo::exists(where.IniFile())) {
        qCInfo(lcPrefs) << "settings store: the ini file" << where.IniFile();
        return pmPortable;
    }
    TRegistry registry(where.HiveFile);
    if (!registry.LoadError().isEmpty())
        qCWarning(lcPrefs) << "the registry hive" << where.HiveFile
                           << "cannot be read, its settings are not used:" << registry.LoadError();
    QString savedBy;
    if (registry.OpenKeyReadOnly(SettingsSection))
        savedBy = registry.ReadString(QStringLiteral("Exename")).value_or(QString());
    if (!savedBy.isEmpty() && savedBy.toLower() == where.ExeName.toLower()) {
        qCInfo(lcPrefs) << "settings store: the registry hive" << where.HiveFile;
        return pmNormal;
    }
    if (!savedBy.isEmpty())
        qCInfo(lcPrefs) << "the registry's settings were saved by" << savedBy << "and are not used by"
                        << where.ExeName;
    qCInfo(lcPrefs) << "settings store: none chosen yet, defaults used";
    return pmNone;
}

// The disc size is stored as a decimal text: a dual-layer DVD holds more
// than a 32-bit integer. A value that is not a positive number of bytes
// gives the default, as any unreadable value does; 0 would make every clip
// too large for a disc.
int64_t ReadDiscSize(const TReadPreferences &prefs)
{
    const QString stored = prefs.ReadString(QStringLiteral("TailleDisque"), QString());
    bool ok = false;
    const int64_t size = stored.toLongLong(&ok);
    if (ok && size > 0)
        return size;
    if (!stored.isEmpty())
        qCWarning(lcPrefs) << "TailleDisque" << stored << "is not a disc size; the DVD's is used";
    return kDvdSize;
}

void ReadFields(TSettings &s, const TReadPreferences &prefs, QSize screen)
{
    const QString documents = DocumentsFolder();
    s.PortablePath = prefs.ReadString(QStringLiteral("Portable Path"), QString());
    s.DossierOuvrir = prefs.ReadString(QStringLiteral("DossierOuvrir"), VideosFolder());
    s.DossierAVCHD = prefs.ReadString(QStringLiteral("DossierAVCHD"), documents);
    s.mainWidth = prefs.ReadInteger(QStringLiteral("mainWidth"), 696);
    s.mainHeight = prefs.ReadInteger(QStringLiteral("mainHeight"), 556);
    // C++ division rounds toward zero, as the centring wants.
    s.maintop = prefs.ReadInteger(QStringLiteral("maintop"), (screen.height() - s.mainHeight) / 2);
    s.mainleft = prefs.ReadInteger(QStringLiteral("mainleft"), (screen.width() - s.mainWidth) / 2);
    s.SortIndex = prefs.ReadString(QStringLiteral("SortIndex"), QStringLiteral("alpha"));
    s.DeleteMeta = prefs.ReadBool(QStringLiteral("DeleteMeta"), true);
    s.DeleteFlux = prefs.ReadBool(QStringLiteral("DeleteFlux"), true);
    s.eac3tofile = prefs.ReadString(QStringLiteral("eac3tofile"), QString());
    s.Dossiermeta = prefs.ReadString(QStringLiteral("Dossiermeta"), documents);
    s.tsMuxerFile = prefs.ReadString(QStringLiteral("tsMuxerFile"), QString());
    s.DossierFlux = prefs.ReadString(QStringLiteral("DossierFlux"), documents);
    s.ImgBurnFile = prefs.ReadString(QStringLiteral("ImgBurnFile"), QString());
    s.Destination = prefs.ReadString(QStringLiteral("Destination"), QString());
    s.DossierImages =
        prefs.ReadString(QStringLiteral("DossierImages"),
                         IncludeTrailingPathDelimiter(VideosFolder()) + QStringLiteral("Tavrel/"));
    s.Verifier = prefs.ReadBool(QStringLiteral("Verifier"), true);
    s.TailleDisque = ReadDiscSize(prefs);
}

// A folder setting that must end with the delimiter; empty becomes "/".
QString WithTrailingDelimiter(const QString &folder)
{
    return folder.endsWith(PathDelim) ? folder : folder + PathDelim;
}

// A portable copy may have moved (another mount point): paths under the
// folder it was saved from follow it to where it runs now.
void RebasePortablePaths(TSettings &s, const QString &exeFolder)
{
    for (QString *path : {&s.DossierOuvrir, &s.DossierAVCHD, &s.eac3tofile, &s.Dossiermeta, &s.tsMuxerFile,
                          &s.DossierFlux, &s.ImgBurnFile, &s.DossierImages})
        *path = RebasePath(*path, s.PortablePath, exeFolder);
}

// "dd/mm/yyyy hh:mm:ss" of a local date-time.
QString SaveStamp(TDateTime now)
{
    const TDateTimeFields f = DecodeDateTime(now);
    return QString::asprintf("%02d/%02d/%04d %02d:%02d:%02d", f.day, f.month, f.year, f.hour, f.minute,
                             f.second);
}

void WriteFields(const TSettings &s, TWritePreferences &prefs, const QString &exeName)
{
    prefs.WriteString(QStringLiteral("version"), SettingsVersion);
    prefs.WriteString(QStringLiteral("Dernière Sauvegarde"), SaveStamp(Now()));
    prefs.WriteString(QStringLiteral("Exename"), exeName);
    prefs.WriteInteger(QStringLiteral("maintop"), s.maintop);
    prefs.WriteInteger(QStringLiteral("mainleft"), s.mainleft);
    prefs.WriteInteger(QStringLiteral("mainWidth"), s.mainWidth);
    prefs.WriteInteger(QStringLiteral("mainHeight"), s.mainHeight);
    prefs.WriteString(QStringLiteral("SortIndex"), s.SortIndex);
    prefs.WriteString(QStringLiteral("DossierOuvrir"), s.DossierOuvrir);
    prefs.WriteString(QStringLiteral("DossierAVCHD"), s.DossierAVCHD);
    prefs.WriteString(QStringLiteral("eac3tofile"), s.eac3tofile);
    prefs.WriteString(QStringLiteral("Dossiermeta"), s.Dossiermeta);
    prefs.WriteString(QStringLiteral("tsMuxerFile"), s.tsMuxerFile);
    prefs.WriteBool(QStringLiteral("DeleteMeta"), s.DeleteMeta);
    prefs.WriteBool(QStringLiteral("DeleteFlux"), s.DeleteFlux);
    prefs.WriteString(QStringLiteral("DossierFlux"), s.DossierFlux);
    prefs.WriteString(QStringLiteral("ImgBurnFile"), s.ImgBurnFile);
    prefs.WriteString(QStringLiteral("Portable Path"), s.PortablePath);
    prefs.WriteString(QStringLiteral("Destination"), s.Destination);
    prefs.WriteString(QStringLiteral("DossierImages"), s.DossierImages);
    prefs.WriteBool(QStringLiteral("Verifier"), s.Verifier);
    prefs.WriteString(QStringLiteral("TailleDisque"), QString::number(s.TailleDisque));
}

}  // namespace

QString RebasePath(const QString &path, const QString &oldFolder, const QString &newFolder)
{
    if (path.isEmpty() || oldFolder.isEmpty() || newFolder.isEmpty())
        return path;
    if (path.left(oldFolder.size()).toLower() != oldFolder.toLower())
        return path;
    return newFolder + path.mid(oldFolder.size());
}

bool LoadSettings(TSettings &settings, QSize screen, QString *error, const TPrefsLocation &where)
{
    settings.PrefsMode = DecideMode(where);
    {
        TReadPreferences prefs(SettingsSection, settings.PrefsMode, where);
        if (!prefs.OpenError().isEmpty()) {
            if (error)
                *error = prefs.OpenError();
            return false;
        }
        ReadFields(settings, prefs, screen);
    }
    settings.Dossiermeta = WithTrailingDelimiter(settings.Dossiermeta);
    settings.DossierFlux = WithTrailingDelimiter(settings.DossierFlux);
    settings.DossierImages = WithTrailingDelimiter(settings.DossierImages);
    if (settings.PrefsMode == pmPortable)
        RebasePortablePaths(settings, where.ExeFolder());
    // A tool never named takes the copy installed beside the program; a
    // stored path that names nothing stays, so the user is told.
    FillEmptyToolPaths(settings, where.ExeFolder());
    return true;
}

bool SaveSettings(const TSettings &settings, QString *error, const TPrefsLocation &where)
{
    TWritePreferences prefs(SettingsSection, settings.PrefsMode, where);
    if (!prefs.OpenError().isEmpty()) {
        if (error)
            *error = prefs.OpenError();
        return false;
    }
    WriteFields(settings, prefs, where.ExeName);
    return prefs.Close(error);
}

void DeleteRegistrySettings(const TPrefsLocation &where)
{
    TRegistry registry(where.HiveFile);
    if (!registry.OpenKeyReadOnly(QStringLiteral("\\Software\\Morvek\\")))
        return;
    registry.DeleteKey(QStringLiteral("Tavrel"));
    if (!registry.HasSubKeys() && registry.OpenKeyReadOnly(QStringLiteral("\\Software")))
        registry.DeleteKey(QStringLiteral("Morvek"));
    QString error;
    if (!registry.Flush(&error))
        qCWarning(lcPrefs) << "the settings could not be removed from the registry hive" << where.HiveFile
                           << ":" << error;
}

void DeleteIniSettings(const TPrefsLocation &where)
{
    // Left in place, the file would be chosen again at the next start.
    if (!DeleteFileForced(where.IniFile()) && QFileInfo::exists(where.IniFile()))
        qCWarning(lcPrefs) << "the ini file" << where.IniFile() << "could not be removed";
}
