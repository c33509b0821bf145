// Whether a work folder can take the files written there: it exists (or is
// made now, with the folders above it) and a file can be created in it.
// Checked before long work starts, so that a folder the user cannot write
// stops it at once with the system's reason instead of at its end.
#pragma once

#include <QString>

// 0 when the folder is usable; otherwise the system's error number of the
// first thing that failed, and madeFolder tells whether that was making
// the folder (true) or creating a file in it (false).
int CheckWritableFolder(const QString &folder, bool &madeFolder);

// The system's reason for an error number, in French ("permission
// refusée", "système de fichiers en lecture seule").
QString SystemErrorText(int errorNumber);

// Empty when the folder is usable; otherwise the message naming it: "Le
// dossier AVCHD /… n'est pas accessible en écriture (permission refusée)".
// name is what the user calls the folder ("AVCHD", "des flux").
QString WritableFolderMessage(const QString &name, const QString &folder);
