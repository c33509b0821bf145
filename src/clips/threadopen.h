// The opening worker: one thread per opening of chosen files, a folder,
// pasted files or dropped files. It searches folders, asks its list whether
// each file found is wanted, creates the file's record on its own thread
// (the slow part: a clip record probes its clip) and hands every record and
// every event to the list on the list's thread through synchronous calls.
#pragma once

#include "src/clips/listfichier.h"
#include "src/platform/findfiles.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <thread>

enum TOpenKind {
    okFiles,  // chosen files, folders not descended
    okFolder,  // one folder with all its subfolders
    okPaste,  // the file list of the clipboard, with subfolders
    okDroppedFiles,  // dropped paths with subfolders; a dropped .txt is a list file
};

// What a worker needs from the list it fills. The first two run on the
// worker's thread. The four synchronous calls run the event or the
// hand-over on the list's thread and return only when it is done.
class TOpenList
{
public:
    virtual ~TOpenList() = default;

    // The list's extension test of a file name (no folder); true when the
    // list has none.
    virtual bool OpenTestExtension(const QString &fileName) = 0;
    // The record class for an accepted file of extension ext (dot
    // included): the list's record class after its class choice, if any,
    // has replaced it.
    virtual TlfCLass OpenRecordClass(const QString &ext) = 0;

    virtual void SyncOpenStart() = 0;
    virtual void SyncFolderFound(const QString &folder) = 0;
    // Adds record to the list, then announces it; record is the list's.
    virtual void SyncFileFound(const QString &folder, std::unique_ptr<TSRFichier> record) = 0;
    virtual void SyncOpenEnd(int nb) = 0;
};

class TThreadOpen
{
public:
    // Longest path taken from a pasted or dropped file list.
    static constexpr int kMaxListedPath = 65530;

    // paths: the chosen files (okFiles), the folder (okFolder), or the file
    // list of the clipboard or of the drop; the worker keeps its own copy.
    TThreadOpen(TOpenKind kind, TOpenList &list, const QStringList &paths);
    // Waits for the run to end.
    ~TThreadOpen();
    TThreadOpen(const TThreadOpen &) = delete;
    TThreadOpen &operator=(const TThreadOpen &) = delete;

    // Starts the run on a thread of its own.
    void Start();
    // True from Start until the run has done its work, just before its end
    // call; safe from any thread.
    bool Running() const { return FRunning; }
    // Waits until the run has ended (at once when it was never started).
    void Wait();
    std::thread::id ThreadId() const { return FThread.get_id(); }

    // Asks the run to stop at its next check; safe from any thread.
    void RequestStop() { FStopRequested = true; }
    bool StopRequested() const { return FStopRequested; }
    TOpenKind Kind() const { return FKind; }

private:
    void Run();
    void OpenInputs();
    // Files accepted by searching mask (a path, or a folder and a pattern
    // with wildcards); recursive descends into folders.
    int Scan(const QString &mask, bool recursive);
    int ScanEntry(const QString &folder, const QString &pattern, const TFindData &entry, bool recursive);
    int AcceptFile(const QString &folder, const TFindData &entry);
    bool IsSearchedAlready(const QString &folder) const;
    // A pasted or dropped path, with subfolders, or as a list file.
    void OpenListedPath(const QString &path, bool listFiles);
    // Opens the paths and masks listed in a list file, without descending.
    void ReadListFile(const QString &path);

    int FFilesFound = 0;
    std::atomic<bool> FStopRequested {false};
    std::atomic<bool> FRunning {false};
    QStringList FInputs;
    const TOpenKind FKind;
    TOpenList &FList;
    // Folders being searched, from the top of a recursive search down to
    // the current one, by their real paths: a link to one of them is not
    // followed, so a link loop cannot make the search endless.
    QStringList FSearchChain;
    std::thread FThread;
};
