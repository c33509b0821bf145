// Clip durations from the time stamps of an MPEG transport stream file,
// for paths and buffers as the application holds them. The rule and the
// reading are those of media/cliptimes.h, shared with the demultiplexer.
#pragma once

#include "media/cliptimes.h"

#include <QByteArray>
#include <QString>

// Times of the clip at path; all zero when it is not a readable transport
// stream. Knowing the picture duration takes two pictures.
TClipTimes ReadClipTimes(const QString &path);

// The same for a file already in memory (head and tail may be the same
// bytes): head is the start of the file, tail its end.
TClipTimes ClipTimesOf(const QByteArray &head, const QByteArray &tail);
