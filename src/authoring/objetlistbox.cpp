#include "src/authoring/objetlistbox.h"

namespace {

// A single-selection list reports no selection count, as the list control
// it was designed on did.
constexpr int kNoSelectionCount = -1;

}  // namespace

// A row of the list: the entry's text, and the entry it owns.
class TObjetListBox::TItem : public QListWidgetItem
{
public:
    explicit TItem(std::unique_ptr<TAbstractListObjet> entry)
        : QListWidgetItem(entry->DisplayText, nullptr, QListWidgetItem::UserType), Entry(std::move(entry))
    { }
    std::unique_ptr<TAbstractListObjet> Entry;
};

TObjetListBox::TObjetListBox(QWidget *parent) : TActiveEntryListBox(parent), FSortIndex(SortAlpha)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
}

TObjetListBox::~TObjetListBox() = default;

TObjetListBox::TItem *TObjetListBox::ItemAt(int index) const
{
    return static_cast<TItem *>(item(index));
}

TAbstractListObjet *TObjetListBox::Entry(int index) const
{
    const TItem *it = ItemAt(index);
    return it ? it->Entry.get() : nullptr;
}

void TObjetListBox::SetCurrentRow(int row)
{
    const QModelIndex index = row < 0 ? QModelIndex() : model()->index(row, 0);
    selectionModel()->setCurrentIndex(index, row < 0 ? QItemSelectionModel::Clear
                                                     : QItemSelectionModel::ClearAndSelect);
}

int TObjetListBox::AddEntry(std::unique_ptr<TAbstractListObjet> entry, bool select)
{
    bool added = false;
    const int index = FKeys.Add(entry->GetSortKey(FSortIndex), &added);
    // An entry replaced here lives until the active entry has been checked,
    // so that no new entry can be taken for it.
    std::unique_ptr<TAbstractListObjet> replaced;
    if (added) {
        InsertRow(index, new TItem(std::move(entry)));
        if (select)
            SetCurrentRow(index);
    } else {
        replaced = std::exchange(ItemAt(index)->Entry, std::move(entry));
        if (replaced.get() == Active())
            CheckActive();
    }
    if (count() == 1)
        SetActive(0);
    UpdateCounts();
    return index;
}

int TObjetListBox::CountedSelection() const
{
    return kNoSelectionCount;
}

QString TObjetListBox::CountsHint(int selected, int total) const
{
    return selected < 2 ? QStringLiteral("un fichier sélectionné sur %1").arg(total)
                        : QStringLiteral("%1 fichiers sélectionnés sur %2").arg(selected).arg(total);
}

void TObjetListBox::DeleteSelected()
{
    // Taken first: removing the current row moves the selection onto
    // another row.
    std::vector<int> selected;
    for (int i = count() - 1; i >= 0; --i)
        if (item(i)->isSelected())
            selected.push_back(i);
    // The entries removed live until the page has been told of the new
    // active entry.
    std::vector<std::unique_ptr<TAbstractListObjet>> removed;
    int lowest = -1;
    for (const int i : selected) {
        std::unique_ptr<TItem> it(static_cast<TItem *>(takeItem(i)));
        FKeys.Delete(i);
        removed.push_back(std::move(it->Entry));
        lowest = i;
    }
    ActivateAfterRemoval(lowest);
}

void TObjetListBox::ClearObjects()
{
    std::vector<std::unique_ptr<TAbstractListObjet>> removed;
    SetCurrentRow(-1);
    for (int i = count() - 1; i >= 0; --i) {
        std::unique_ptr<TItem> it(static_cast<TItem *>(takeItem(i)));
        removed.push_back(std::move(it->Entry));
    }
    FKeys.Clear();
    SetActive(-1);
}
