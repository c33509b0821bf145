// File-system and folder helpers the rest of the program shares: file date
// and size, the current folder, forced deletion and the well-known folders
// (documents, videos, the program's own folder). They hold no state and need
// no widget; opening documents and links lives in shellopen.h.
#pragma once

#include "src/platform/datetime.h"

#include <QString>

#include <cstdint>

// Last-write time of a file or folder as a local date-time, to the
// millisecond; -1.0 when the path does not exist.
TDateTime FileDate(const QString &path);

// Size in bytes of a file (0 for a folder); -1 when the path does not exist.
int64_t FileSize64(const QString &path);

// The process's current folder, without a trailing delimiter (except "/").
QString GetCurrentFolder();

// Makes the folder the process's current folder; a failure is ignored.
void SetCurrentFolder(const QString &folder);

// Makes the file writable by its owner, then deletes it; true when deleted.
bool DeleteFileForced(const QString &path);

// The user's documents folder (XDG); the home folder, with its trailing
// delimiter, when none is known.
QString DocumentsFolder();

// The user's videos folder (XDG); DocumentsFolder() when none is known.
QString VideosFolder();

// Full path of the running executable (the target of /proc/self/exe).
QString ExecutablePath();

// The folder that holds the running executable, with a trailing delimiter:
// where this build or installation keeps its own eac3to, tsmuxer and
// imgburn beside tavrel.
QString ProgramFilesFolder();

// The help page shipped with the program, for a program in exeFolder: the
// first that exists of exeFolder/aide.html (a portable copy),
// exeFolder/../share/doc/tavrel/aide.html (the build tree, bin/) and
// exeFolder/../../share/doc/tavrel/aide.html (an installation,
// lib/tavrel/); empty when there is none.
QString HelpPagePathFor(const QString &exeFolder);
// HelpPagePathFor the folder of the running executable.
QString HelpPagePath();

// The home page set when the program was built; when none was set, the
// help page shipped with the program (its path), or empty without it.
QString HomePageLocation();
// The author's mail address set when the program was built.
QString AuthorMailAddress();
