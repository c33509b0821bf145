#include "src/platform/findfiles.h"

#include "src/platform/pathdelim.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace {

TFileTime FromStatx(const struct statx_timestamp &t)
{
    return {t.tv_sec, std::int32_t(t.tv_nsec)};
}

// Attributes as the Windows search reports them, from the owner's view.
std::uint32_t AttributesOf(const QString &name, const struct statx &st)
{
    std::uint32_t attributes = 0;
    if (S_ISDIR(st.stx_mode))
        attributes |= faDirectory;
    if (!(st.stx_mode & S_IWUSR))
        attributes |= faReadOnly;
    if (name.startsWith(u'.'))
        attributes |= faHidden;
    return attributes;
}

// Fills entry from statx of name in the open folder dirFd; a dangling link
// is described by itself.
bool Describe(int dirFd, const QByteArray &localName, const QString &name, TFindData &entry)
{
    struct statx st
    { };
    const unsigned mask = STATX_BASIC_STATS | STATX_BTIME;
    if (statx(dirFd, localName.constData(), AT_STATX_SYNC_AS_STAT, mask, &st) != 0
        && statx(dirFd, localName.constData(), AT_STATX_SYNC_AS_STAT | AT_SYMLINK_NOFOLLOW, mask, &st) != 0)
        return false;
    entry.FileName = name;
    entry.Attributes = AttributesOf(name, st);
    entry.CreationTime = FromStatx((st.stx_mask & STATX_BTIME) ? st.stx_btime : st.stx_ctime);
    entry.LastAccessTime = FromStatx(st.stx_atime);
    entry.LastWriteTime = FromStatx(st.stx_mtime);
    entry.SizeHigh = std::uint32_t(st.stx_size >> 32);
    entry.SizeLow = std::uint32_t(st.stx_size & 0xFFFFFFFFu);
    return true;
}

struct TDirCloser
{
    void operator()(DIR *dir) const { closedir(dir); }
};

// Matches name[n..] against pattern[p..]; "*" backtracks to its last
// position only, which is enough for one-level wildcards.
bool Match(const QString &name, const QString &pattern)
{
    qsizetype n = 0, p = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size()
            && (pattern[p] == u'?' || pattern[p].toCaseFolded() == name[n].toCaseFolded())) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

}  // namespace

bool MatchesMask(const QString &name, const QString &pattern)
{
    if (pattern == QLatin1String("*.*") || pattern == QLatin1String("*"))
        return true;
    if (Match(name, pattern))
        return true;
    // "name.*" also stands for "name" without any extension.
    if (pattern.endsWith(QLatin1String(".*")) && !name.contains(u'.'))
        return Match(name, pattern.chopped(2));
    return false;
}

std::vector<TFindData> FindFiles(const QString &mask)
{
    std::vector<TFindData> entries;
    const QString folder = ExtractFilePath(mask);
    const QString pattern = ExtractFileName(mask);
    const QByteArray localFolder = folder.isEmpty() ? QByteArray(".") : QFile::encodeName(folder);
    std::unique_ptr<DIR, TDirCloser> dir(opendir(localFolder.constData()));
    if (!dir)
        return entries;
    const int dirFd = dirfd(dir.get());
    while (const dirent *found = readdir(dir.get())) {
        const QByteArray localName(found->d_name);
        const QString name = QFile::decodeName(localName);
        if (!MatchesMask(name, pattern))
            continue;
        TFindData entry;
        if (Describe(dirFd, localName, name, entry))
            entries.push_back(std::move(entry));
    }
    return entries;
}
