// List files: text files naming clips or masks, one per line, that the
// clip list opens when they are dropped on it.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The text of a list file. A byte-order mark selects UTF-16 little-endian,
// UTF-16 big-endian or UTF-8; without one the bytes are in the system's
// 8-bit code page.
QString DecodeListFileText(const QByteArray &bytes);

// The entries of a list file's text, in order: each line stripped of the
// characters below 33 (space and control characters) at both ends, blank
// lines and lines beginning with "#" left out. Lines end at CR LF, LF or CR.
QStringList ListFileEntries(const QString &text);
