#include "src/authoring/listdisque.h"

QString TAbstractListObjet::GetSortKey(const TSortIndex &index) const
{
    return index.Key == SortAlpha.Key ? SortText : QString();
}

TlistDisque::TlistDisque(TDiscPtr disc) : Disc(std::move(disc))
{
    DisplayText = SortText = DiscListText(*Disc);
}
