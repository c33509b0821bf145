// Whether a listed file is a clip Tavrel can put on a disc: one the probe
// read as a transport stream with pictures. Files that are not (empty,
// truncated before their first picture, a picture or another file renamed
// ".m2ts") are listed all the same, greyed, and left out of the discs.
#pragma once

#include <QString>

class Tm2tsFichier;

// True when the probe found video in the clip.
bool IsReadableClip(const Tm2tsFichier &clip);

// Why the clip is not readable, in French ("le fichier est vide"); empty
// for a readable clip.
QString UnreadableClipReason(const Tm2tsFichier &clip);

// "Le fichier … n'est pas une vidéo AVCHD lisible ; il n'est pas mis sur un
// disque"
QString LeftOutOfDiscsText(const Tm2tsFichier &clip);
