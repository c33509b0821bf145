// Replacing a file so that a crash or a full disk can never leave a
// half-written file in its place: the new content goes to a temporary file
// in the same folder, which is then renamed over the old one.
#pragma once

#include <QByteArray>
#include <QString>

// Writes data to path atomically. On failure returns false, sets *error to
// "path: reason" (the reason is the system's error text) and leaves any old
// file untouched. An existing file that its owner may not write is refused,
// as a read-only file is.
bool WriteFileAtomically(const QString &path, const QByteArray &data, QString *error);

// "path: reason" for the errno value error.
QString SystemErrorText(const QString &path, int error);
