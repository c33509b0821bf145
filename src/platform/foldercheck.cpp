#include "src/platform/foldercheck.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Makes the folder and those above it; 0 or the error of the first folder
// that could not be made.
int MakeFolders(const std::string &folder)
{
    struct stat st
    { };
    if (stat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT)
        return errno;
    const size_t slash = folder.find_last_of('/', folder.size() > 1 ? folder.size() - 2 : 0);
    if (slash != std::string::npos && slash > 0)
        if (const int error = MakeFolders(folder.substr(0, slash)))
            return error;
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        return errno;
    return 0;
}

// Creates a file in the folder and removes it at once: an unnamed one
// where the file system allows it, else a hidden one.
int CreateFileIn(const std::string &folder)
{
    int fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
        close(fd);
        return 0;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return errno;
    std::string probe = folder + "/.tavrel-check-XXXXXX";
    fd = mkostemp(probe.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    close(fd);
    unlink(probe.c_str());
    return 0;
}

}  // namespace

int CheckWritableFolder(const QString &folder, bool &madeFolder)
{
    std::string path = QFile::encodeName(folder).toStdString();
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    madeFolder = true;
    if (path.empty())
        return ENOENT;
    if (const int error = MakeFolders(path))
        return error;
    madeFolder = false;
    return CreateFileIn(path);
}

QString SystemErrorText(int errorNumber)
{
    switch (errorNumber) {
    case EACCES: return QStringLiteral("permission refusée");
    case EPERM: return QStringLiteral("opération non permise");
    case EROFS: return QStringLiteral("système de fichiers en lecture seule");
    case ENOSPC: return QStringLiteral("plus de place sur le disque");
    case EDQUOT: return QStringLiteral("quota du disque atteint");
    case ENOENT: return QStringLiteral("dossier introuvable");
    case ENOTDIR: return QStringLiteral("un élément du chemin n'est pas un dossier");
    case ENAMETOOLONG: return QStringLiteral("nom trop long");
    case ELOOP: return QStringLiteral("trop de liens symboliques");
    case EIO: return QStringLiteral("erreur d'entrée-sortie");
    default: break;
    }
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

QString WritableFolderMessage(const QString &name, const QString &folder)
{
    bool madeFolder = false;
    const int error = CheckWritableFolder(folder, madeFolder);
    if (error == 0)
        return {};
    const QString what = QStringLiteral("Le dossier ") + name + u' ' + folder;
    const QString reason = QStringLiteral(" (") + SystemErrorText(error) + u')';
    if (madeFolder)
        return what + QStringLiteral(" ne peut pas être créé") + reason;
    return what + QStringLiteral(" n'est pas accessible en écriture") + reason;
}
