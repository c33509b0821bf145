// Entries of the disc list: a text to show, a text to sort by, and for a
// disc entry the disc itself.
#pragma once

#include "src/authoring/split.h"
#include "src/clips/listfichier.h"

#include <QString>

class TAbstractListObjet
{
public:
    virtual ~TAbstractListObjet() = default;

    // SortText under the default ("alpha") order, nothing under any other.
    virtual QString GetSortKey(const TSortIndex &index) const;

    QString DisplayText;
    QString SortText;
};

// A disc of the list, shown and sorted as "Project : Disque NN". The entry
// shares its disc with whatever step is working on it.
class TlistDisque : public TAbstractListObjet
{
public:
    explicit TlistDisque(TDiscPtr disc);

    TDiscPtr Disc;
};
