#include "src/prefs/dirscan.h"

#include "src/platform/findfiles.h"
#include "src/platform/pathdelim.h"

#include <QCoreApplication>
#include <QFileInfo>

void TDirscan::Setdirectory(const QString &folder)
{
    FDirectory = IncludeTrailingPathDelimiter(folder);
}

void TDirscan::Scan()
{
    if (FDirectory.isEmpty() || !QFileInfo(FDirectory).isDir())
        return;
    FActive = true;
    if (OnStartScan)
        OnStartScan(this, FDirectory, Masque, recursive);
    FChain.clear();
    ScanFolder(FDirectory);
    if (OnEndScan)
        OnEndScan(this, FDirectory, Masque, recursive);
    FActive = false;
}

bool TDirscan::ScanFolder(const QString &folder)
{
    if (OnStartFolder)
        OnStartFolder(this, folder);
    int files = 0, subFolders = 0;
    if (!ScanFiles(folder, files))
        return false;
    if (recursive) {
        FChain.append(QFileInfo(folder).canonicalFilePath());
        const bool finished = ScanSubFolders(folder, subFolders);
        FChain.removeLast();
        if (!finished)
            return false;
    }
    if (files > 0 && OnDirWithFiles)
        OnDirWithFiles(this, folder);
    if (subFolders > 0 && OnDirWithSubDirs)
        OnDirWithSubDirs(this, folder);
    if (OnEndFolder)
        OnEndFolder(this, folder);
    return true;
}

// Files are listed without yielding; hidden ones are reported too.
bool TDirscan::ScanFiles(const QString &folder, int &files)
{
    if (Masque.isEmpty())
        return true;
    for (const TFindData &entry : FindFiles(folder + Masque)) {
        if (entry.Attributes & faDirectory)
            continue;
        if (!FActive)
            return false;
        ++files;
        if (OnFileFound)
            OnFileFound(this, folder + entry.FileName);
    }
    return true;
}

// One turn of the event loop per folder entry, none per file; hidden
// folders are not entered, nor a link back to a folder being walked (it
// would never end).
bool TDirscan::ScanSubFolders(const QString &folder, int &subFolders)
{
    for (const TFindData &entry : FindFiles(folder + QStringLiteral("*.*"))) {
        if (!(entry.Attributes & faDirectory) || (entry.Attributes & faHidden))
            continue;
        if (QCoreApplication::instance())
            QCoreApplication::processEvents();
        if (!FActive)
            return false;
        const QString sub = folder + entry.FileName + PathDelim;
        if (FChain.contains(QFileInfo(sub).canonicalFilePath()))
            continue;
        ++subFolders;
        if (!ScanFolder(sub))
            return false;
    }
    return true;
}
