#include "src/clips/threadopen.h"

#include "src/clips/listfile.h"
#include "src/platform/logging.h"
#include "src/platform/pathdelim.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

// The extension of a name or path as written, dot included: from its last
// dot, when no delimiter follows it.
static QString ExtensionAsWritten(const QString &path)
{
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot > path.lastIndexOf(PathDelim) ? path.mid(dot) : QString();
}

TThreadOpen::TThreadOpen(TOpenKind kind, TOpenList &list, const QStringList &paths)
    : FInputs(paths), FKind(kind), FList(list)
{ }

TThreadOpen::~TThreadOpen()
{
    Wait();
}

void TThreadOpen::Start()
{
    // Set here, not by the thread: a stop asked for before the thread gets
    // going must still wait for it.
    FRunning = true;
    FThread = std::thread([this] { Run(); });
}

void TThreadOpen::Wait()
{
    if (FThread.joinable())
        FThread.join();
}

void TThreadOpen::Run()
{
    FFilesFound = 0;
    // An opening that fails ends like one that is done; the end call below
    // reports what was opened until then.
    try {
        FList.SyncOpenStart();
        OpenInputs();
    } catch (const std::exception &e) {
        qCWarning(lcClips) << "opening ended early:" << e.what();
    } catch (...) {
        qCWarning(lcClips) << "opening ended early on an unknown exception";
    }
    FInputs.clear();
    FStopRequested = false;
    FRunning = false;
    FList.SyncOpenEnd(FFilesFound);
}

void TThreadOpen::OpenInputs()
{
    switch (FKind) {
    case okFiles:
        for (const QString &path : std::as_const(FInputs)) {
            if (FStopRequested)
                break;
            FFilesFound += Scan(path, false);
        }
        break;
    case okFolder:
        // An empty folder path would otherwise search the whole file system.
        if (!FInputs.isEmpty() && !FInputs.first().isEmpty())
            FFilesFound = Scan(IncludeTrailingPathDelimiter(FInputs.first()) + QStringLiteral("*.*"), true);
        break;
    case okPaste:
    case okDroppedFiles:
        for (const QString &path : std::as_const(FInputs)) {
            if (FStopRequested)
                break;
            OpenListedPath(path, FKind == okDroppedFiles);
        }
        break;
    }
}

void TThreadOpen::OpenListedPath(const QString &path, bool listFiles)
{
    if (path.isEmpty() || path.size() > kMaxListedPath)
        return;
    if (listFiles && ExtensionAsWritten(path) == QLatin1String(".txt")) {
        ReadListFile(path);
        return;
    }
    // File managers may hand a folder over with its delimiter at the end;
    // the search wants the folder's own name as its pattern.
    QString mask = path;
    while (mask.size() > 1 && mask.endsWith(PathDelim))
        mask.chop(1);
    FFilesFound += Scan(mask, true);
}

int TThreadOpen::Scan(const QString &mask, bool recursive)
{
    if (FStopRequested)
        return 0;
    // A relative mask is searched in the current folder, so its records
    // must carry that folder too.
    const QString absolute = QDir::isAbsolutePath(mask) ? mask : QDir::currentPath() + PathDelim + mask;
    const QString folder = IncludeTrailingPathDelimiter(ExtractFilePath(absolute));
    const QString pattern = ExtractFileName(absolute);
    const std::vector<TFindData> entries = FindFiles(absolute);
    if (recursive)
        FList.SyncFolderFound(folder);

    FSearchChain.append(QFileInfo(folder).canonicalFilePath());
    int found = 0;
    for (const TFindData &entry : entries) {
        if (FStopRequested)
            break;
        found += ScanEntry(folder, pattern, entry, recursive);
    }
    FSearchChain.removeLast();
    return found;
}

int TThreadOpen::ScanEntry(const QString &folder, const QString &pattern, const TFindData &entry,
                           bool recursive)
{
    if (entry.Attributes & faDirectory) {
        if (!recursive || entry.FileName == QLatin1String(".") || entry.FileName == QLatin1String(".."))
            return 0;
        const QString subfolder = folder + entry.FileName;
        if (IsSearchedAlready(subfolder))
            return 0;
        // The folder a mask names exactly is searched whole; other folders
        // are searched with the same pattern.
        const QString subpattern = entry.FileName == pattern ? QStringLiteral("*.*") : pattern;
        return Scan(subfolder + PathDelim + subpattern, true);
    }
    if (!FList.OpenTestExtension(entry.FileName))
        return 0;
    return AcceptFile(folder, entry);
}

bool TThreadOpen::IsSearchedAlready(const QString &folder) const
{
    const QString real = QFileInfo(folder).canonicalFilePath();
    return !real.isEmpty() && FSearchChain.contains(real);
}

int TThreadOpen::AcceptFile(const QString &folder, const TFindData &entry)
{
    const TlfCLass recordClass = FList.OpenRecordClass(ExtensionAsWritten(entry.FileName));
    // Without a record class the file still gets the plainest record.
    std::unique_ptr<TSRFichier> record =
        recordClass ? recordClass.CreateFromEntry(folder, entry) : TSRFichier::CreateFromEntry(folder, entry);
    FList.SyncFileFound(folder, std::move(record));
    return 1;
}

void TThreadOpen::ReadListFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    // Relative entries name files beside the list file.
    const QString listFolder = ExtractFilePath(path);
    for (const QString &entry : ListFileEntries(DecodeListFileText(bytes))) {
        if (FStopRequested)
            break;
        FFilesFound += Scan(QDir::isAbsolutePath(entry) ? entry : listFolder + entry, false);
    }
}
