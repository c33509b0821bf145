#include "src/platform/shell.h"

#include "src/platform/pathdelim.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool StatPath(const QString &path, struct stat *st)
{
    return !path.isEmpty() && stat(QFile::encodeName(path).constData(), st) == 0;
}

}  // namespace

TDateTime FileDate(const QString &path)
{
    struct stat st
    { };
    if (!StatPath(path, &st))
        return -1.0;
    return LocalDateTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
}

int64_t FileSize64(const QString &path)
{
    struct stat st
    { };
    if (!StatPath(path, &st))
        return -1;
    // A folder entry has no size of its own, as in a directory listing.
    return S_ISDIR(st.st_mode) ? 0 : int64_t(st.st_size);
}

QString GetCurrentFolder()
{
    return QDir::currentPath();
}

void SetCurrentFolder(const QString &folder)
{
    QDir::setCurrent(folder);
}

bool DeleteFileForced(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st
    { };
    if (path.isEmpty() || lstat(name.constData(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    if (!S_ISLNK(st.st_mode))
        chmod(name.constData(), (st.st_mode & 07777) | S_IWUSR);
    return unlink(name.constData()) == 0;
}

QString DocumentsFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty())
        return documents;
    return IncludeTrailingPathDelimiter(QDir::homePath());
}

QString VideosFolder()
{
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    return videos.isEmpty() ? DocumentsFolder() : videos;
}

QString ExecutablePath()
{
    return QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
}

QString ProgramFilesFolder()
{
    return ExtractFilePath(ExecutablePath());
}

QString HelpPagePathFor(const QString &exeFolder)
{
    const QString folder = IncludeTrailingPathDelimiter(exeFolder);
    for (const char *relative :
         {"aide.html", "../share/doc/tavrel/aide.html", "../../share/doc/tavrel/aide.html"}) {
        const QString candidate = QDir::cleanPath(folder + QLatin1String(relative));
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}

QString HelpPagePath()
{
    return HelpPagePathFor(ExtractFilePath(ExecutablePath()));
}

QString HomePageLocation()
{
    const QString configured = QStringLiteral(TAVREL_HOMEPAGE);
    return configured.isEmpty() ? HelpPagePath() : configured;
}

QString AuthorMailAddress()
{
    return QStringLiteral(TAVREL_AUTHOR_MAIL);
}
