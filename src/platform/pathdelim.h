// The one path delimiter of the program. Paths are POSIX: wherever a path
// is split into folder and name, it is split at the last PathDelim.
#pragma once

#include <QChar>
#include <QString>

inline constexpr QChar PathDelim = u'/';

// Folder part of a path, PathDelim included ("" when the path has none).
inline QString ExtractFilePath(const QString &path)
{
    return path.left(path.lastIndexOf(PathDelim) + 1);
}

// Name part of a path: what follows the last PathDelim.
inline QString ExtractFileName(const QString &path)
{
    return path.mid(path.lastIndexOf(PathDelim) + 1);
}

// The folder with exactly one PathDelim at its end (empty stays empty).
inline QString IncludeTrailingPathDelimiter(const QString &folder)
{
    if (folder.isEmpty() || folder.endsWith(PathDelim))
        return folder;
    return folder + PathDelim;
}
