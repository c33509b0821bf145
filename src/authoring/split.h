// Grouping the clips of the clip list, in list order, into discs.
#pragma once

#include "src/authoring/disque.h"

#include <QList>
#include <QString>

#include <memory>
#include <vector>

// Discs are shared: the disc list holds them, and a processing step or the
// burn thread keeps the one it works on alive when the list is rebuilt or
// emptied meanwhile.
using TDiscPtr = std::shared_ptr<TdecoupeDisque>;

struct TSplitResult
{
    std::vector<TDiscPtr> Discs;  // numbered 1, 2, 3 … in clip order
    // The clips left out, one line each, then why the split stopped at a
    // clip; empty when neither happened.
    QString Message;
};

// Fills discs of capacity bytes (the TailleDisque setting) with consecutive
// clips. A file that is not a readable clip is left out with a line in the
// message. A clip larger than a disc, whose file is gone, or whose frame
// rate differs from that of the disc being filled stops the split with a
// message; the discs completed before it are kept, the one being filled is
// dropped.
TSplitResult SplitClipsIntoDiscs(const QList<const Tm2tsFichier *> &clips, int64_t capacity = kDiscCapacity);

// Name of the folder that holds the file: "" for a file in the root.
QString ProjectOfClip(const QString &clipPath);
