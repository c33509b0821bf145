#include "wholefile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The mode a newly created file gets: what the old file had, else the
// usual 0666 less the umask.
mode_t ModeFor(const QByteArray &path)
{
    struct stat old {};
    if (stat(path.constData(), &old) == 0)
        return old.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
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

} // namespace

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
    const QByteArray target = QFile::encodeName(path);
    // A read-only file stays as it is, as it would if it were opened for writing.
    if (access(target.constData(), F_OK) == 0 && access(target.constData(), W_OK) != 0) {
        if (error)
            *error = SystemErrorText(path, errno);
        return false;
    }
    const int slash = target.lastIndexOf('/');
    QByteArray temp = target.left(slash + 1) + '.' + target.mid(slash + 1) + ".XXXXXX";
    const mode_t mode = ModeFor(target);
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        if (error)
            *error = SystemErrorText(path, errno);
        return false;
    }
    bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, data) && fsync(fd) == 0;
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
    }
    return ok;
}
