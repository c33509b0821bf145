// TDirscan: walks a folder, and on request its whole tree, reporting every
// file whose name matches a pattern. It runs on the calling thread and lets
// the event loop handle pending events between sub-folders, so the window
// stays alive and a click can Stop() the walk.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class TDirscan
{
public:
    using TdsScanEvent = std::function<void(TDirscan *sender, const QString &directory, const QString &masque,
                                            bool recursive)>;
    using TdsFolderEvent = std::function<void(TDirscan *sender, const QString &directory)>;
    using TdsFileEvent = std::function<void(TDirscan *sender, const QString &fichier)>;

    // The folder to scan; stored with a trailing delimiter.
    QString directory() const { return FDirectory; }
    void Setdirectory(const QString &folder);

    bool recursive = false;
    // File name pattern, "*" and "?" wildcards, letter case ignored.
    QString Masque;

    bool Active() const { return FActive; }

    // Scans directory; returns when the walk is over or stopped. Nothing
    // happens when directory names no folder.
    void Scan();
    // Ends the scan under way at its next check; the folders still open
    // report no more events, but OnEndScan still fires.
    void Stop() { FActive = false; }

    TdsScanEvent OnStartScan, OnEndScan;
    TdsFolderEvent OnStartFolder, OnDirWithFiles, OnDirWithSubDirs, OnEndFolder;
    TdsFileEvent OnFileFound;

private:
    // False when the walk was abandoned.
    bool ScanFolder(const QString &folder);
    bool ScanFiles(const QString &folder, int &files);
    bool ScanSubFolders(const QString &folder, int &subFolders);

    QString FDirectory;
    bool FActive = false;
    // Real paths of the folders being walked, so that a link to one of them
    // is not followed again.
    QStringList FChain;
};
