// The chapters of a disc and the muxer's meta file built from its streams.
#pragma once

#include "src/authoring/disque.h"

#include <QByteArray>
#include <QString>

// Refills the disc's chapters: one per clip, each the clip's start in the
// joined streams.
void BuildChapters(TDisque &disc);

// dossiermeta + Project + ".meta"; dossiermeta ends with the delimiter.
QString MetaFilePath(const TDisque &disc, const QString &dossiermeta);

// The bytes of the meta file: the MUXOPT line with the chapters, then one
// track line per ".h264" or ".ac3" stream, each line ended by CR LF.
QByteArray MetaFileText(const TDisque &disc);

// Writes MetaFileText to path, replacing any old file whole; false when it
// could not be written (the old file is then untouched).
bool WriteMetaFile(const TDisque &disc, const QString &path);
