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

TObjetListBox::TObjetListBox(QWidget *parent) : TActiveListBox(parent), FSortIndex(SortAlpha)
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
        const int current = currentRow();
        auto *it = new TItem(std::move(entry));
        insertItem(index, it);
        // The current row stays on the same entry.
        const int shifted = current >= 0 && index <= current ? current + 1 : current;
        if (select)
            SetCurrentRow(index);
        else if (currentRow() != shifted)
            SetCurrentRow(shifted);
    } else {
        replaced = std::exchange(ItemAt(index)->Entry, std::move(entry));
        if (replaced.get() == FActive)
            CheckActive();
    }
    if (count() == 1)
        SetActive(0);
    UpdateCounts();
    return index;
}

void TObjetListBox::SetActive(int index)
{
    if (index < -1 || index >= count())
        return;
    SetCurrentRow(index);
    CheckActive();
    UpdateCounts();
}

void TObjetListBox::CheckActive()
{
    const int current = currentRow();
    if (current < 0 || current >= count()) {
        SetCurrentRow(-1);
        if (FActive) {
            FActive = nullptr;
            if (OnActiveChange)
                OnActiveChange(nullptr);
        }
        return;
    }
    TAbstractListObjet *entry = Entry(current);
    if (entry != FActive) {
        FActive = entry;
        if (OnActiveChange)
            OnActiveChange(entry);
    }
    if (QListWidgetItem *now = currentItem())
        now->setSelected(true);
}

void TObjetListBox::UpdateCounts()
{
    const int total = count();
    const int selected = kNoSelectionCount;
    if (total != FLastCount || selected != FLastSelCount) {
        FLastCount = total;
        FLastSelCount = selected;
        setToolTip(selected < 2 ? QStringLiteral("un fichier sélectionné sur %1").arg(total)
                                : QStringLiteral("%1 fichiers sélectionnés sur %2").arg(selected).arg(total));
    }
    if (OnCountsChange)
        OnCountsChange(selected, total);
}

void TObjetListBox::DeleteSelected()
{
    // Taken first: removing the current row moves the selection onto
    // another row.
    std::vector<int> selected;
    for (int i = count() - 1; i >= 0; --i)
        if (item(i)->isSelected())
            selected.push_back(i);
    std::vector<std::unique_ptr<TAbstractListObjet>> removed;
    int lowest = -1;
    for (const int i : selected) {
        std::unique_ptr<TItem> it(static_cast<TItem *>(takeItem(i)));
        FKeys.Delete(i);
        removed.push_back(std::move(it->Entry));
        lowest = i;
    }
    SetActive(lowest > 0 ? lowest - 1 : 0);
    // With no row left SetActive does nothing: the entry that was active
    // must still be reported gone.
    CheckActive();
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
