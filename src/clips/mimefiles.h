// The list of files that a clipboard or a drop carries, as the desktop
// file managers put it there.
#pragma once

#include <QMimeData>
#include <QStringList>

// The local paths of the file list in data: "text/uri-list" (URIs, one per
// line, "#" lines being comments) or, without it,
// "x-special/gnome-copied-files" ("copy" or "cut", then one URI a line).
// URIs that do not name a local file are left out; plain text gives none.
QStringList MimeDataFiles(const QMimeData &data);
