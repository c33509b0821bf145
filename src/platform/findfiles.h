// Directory search: the entries of one folder whose names match a mask with
// the Windows wildcard rules, each with its attribute bits, its three times
// and its size in two 32-bit halves, as the clip records and the folder
// walkers expect them.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// Attribute bits of a directory entry.
inline constexpr std::uint32_t faReadOnly = 0x01;  // the owner cannot write
inline constexpr std::uint32_t faHidden = 0x02;  // the name starts with "."
inline constexpr std::uint32_t faDirectory = 0x10;

// A UTC instant as the file system stores it: seconds and nanoseconds since
// 1970-01-01 00:00 UTC.
struct TFileTime
{
    std::int64_t Seconds = 0;
    std::int32_t Nanoseconds = 0;
};

// One entry of a directory search.
struct TFindData
{
    QString FileName;  // name only, no folder
    std::uint32_t Attributes = 0;
    TFileTime CreationTime;  // birth time when the file system keeps it, else change time
    TFileTime LastAccessTime;
    TFileTime LastWriteTime;
    std::uint32_t SizeHigh = 0;  // size = SizeHigh * 2^32 + SizeLow
    std::uint32_t SizeLow = 0;
};

// The entries of the folder part of mask (the current folder when it has no
// "/") whose names match its name part, in no particular order. As on
// Windows, "." and ".." are listed when the pattern matches them; callers
// walking a tree skip them. A missing or unreadable folder gives no entry.
// Symbolic links are followed; a dangling one is listed as itself.
std::vector<TFindData> FindFiles(const QString &mask);

// Windows wildcard matching of a file name against a pattern, ignoring
// letter case: "*" matches any run of characters, "?" any one character,
// "*.*" matches every name (with or without a dot), and a trailing ".*"
// also matches a name without extension ("clip.*" matches "clip").
bool MatchesMask(const QString &name, const QString &pattern);
