// Reading and writing whole files with the system's error texts. A file is
// replaced so that a crash or a full disk can never leave a half-written
// file in its place: the new content goes to a temporary file in the same
// folder, which is then renamed over the old one.
#pragma once

#include <QByteArray>
#include <QString>

// Writes data to path atomically. On failure returns false, sets *error to
// "path: reason" (the reason is the system's error text) and leaves any old
// file untouched. An existing file that its owner may not write is refused,
// as a read-only file is.
bool WriteFileAtomically(const QString &path, const QByteArray &data, QString *error);

// Reads the whole file into *data. False with *error set ("path: reason")
// when it cannot be opened or read; *missing tells whether it did not exist.
bool ReadWholeFile(const QString &path, QByteArray *data, QString *error, bool *missing = nullptr);

// "path: reason" for the errno value error.
QString SystemErrorText(const QString &path, int error);
