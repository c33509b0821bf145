// Which folder "Dossier AVCHD" shows: the active disc's own folder, else
// its project folder, else the AVCHD folder itself. No widget involved.
#pragma once

#include <QString>

// The first of B = A + discName, A = dossierAVCHD (with a delimiter) +
// project + "/", and dossierAVCHD that names an existing folder; empty when
// none does. With no active disc, project and discName are empty and A and
// B are not tried.
QString ParentAVCHDFolder(const QString &dossierAVCHD, const QString &project, const QString &discName,
                          bool discActive);
