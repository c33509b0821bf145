#include "src/platform/wholefile.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Creates a new temporary file beside target, named after it. Made with
// mode 0666 less the umask, as any new file of the program.
int CreateTemporary(const QByteArray &target, QByteArray *temp)
{
    const int slash = target.lastIndexOf('/');
    const QByteArray stem =
        target.left(slash + 1) + '.' + target.mid(slash + 1) + '.' + QByteArray::number(getpid()) + '.';
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temp = stem + QByteArray::number(attempt);
        const int fd = open(temp->constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// A replaced file keeps the permissions it had.
bool KeepMode(int fd, const QByteArray &target)
{
    struct stat old
    { };
    if (stat(target.constData(), &old) != 0)
        return true;
    return fchmod(fd, old.st_mode & 07777) == 0;
}

bool WriteAll(int fd, const QByteArray &data)
{
    const char *p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// The file a path names: the target of a symbolic link (so that the link
// survives the replacement), else the path itself.
QByteArray ResolvedTarget(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    char *resolved = realpath(name.constData(), nullptr);
    if (!resolved)
        return name;
    const QByteArray target(resolved);
    free(resolved);
    return target;
}

// Makes a rename in the folder survive a power loss.
void SyncFolder(const QByteArray &file)
{
    const int slash = file.lastIndexOf('/');
    const QByteArray folder = slash > 0 ? file.left(slash) : QByteArray(slash == 0 ? "/" : ".");
    const int fd = open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

}  // namespace

QString SystemErrorText(const QString &path, int error)
{
    return path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
}

bool ReadWholeFile(const QString &path, QByteArray *data, QString *error, bool *missing)
{
    data->clear();
    if (missing)
        *missing = false;
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (missing)
            *missing = errno == ENOENT;
        if (error)
            *error = SystemErrorText(path, errno);
        return false;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int failure = errno;
            close(fd);
            data->clear();
            if (error)
                *error = SystemErrorText(path, failure);
            return false;
        }
        data->append(buffer, n);
    }
    close(fd);
    return true;
}

bool WriteFileAtomically(const QString &path, const QByteArray &data, QString *error)
{
    const QByteArray target = ResolvedTarget(path);
    // A read-only file stays as it is, as it would if it were opened for writing.
    if (access(target.constData(), F_OK) == 0
        && faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0) {
        if (error)
            *error = SystemErrorText(path, errno);
        return false;
    }
    QByteArray temp;
    const int fd = CreateTemporary(target, &temp);
    if (fd < 0) {
        if (error)
            *error = SystemErrorText(path, errno);
        return false;
    }
    bool ok = KeepMode(fd, target) && WriteAll(fd, data) && fsync(fd) == 0;
    int failure = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        failure = errno;
    }
    if (ok && rename(temp.constData(), target.constData()) != 0) {
        ok = false;
        failure = errno;
    }
    if (!ok) {
        unlink(temp.constData());
        if (error)
            *error = SystemErrorText(path, failure);
        return false;
    }
    SyncFolder(target);
    return true;
}
