// A sorted list box of list entries (TAbstractListObjet) with one active
// entry: the disc list of the disc page. It owns its entries, keeps a key
// per row in step with the rows, reports the active entry and the counts,
// and removes the selected entries on the Delete key when asked to.
#pragma once

#include "src/authoring/listdisque.h"
#include "src/clips/sortedkeys.h"
#include "src/widgets/activelistbox.h"

#include <memory>
#include <vector>

class TObjetListBox : public TActiveEntryListBox<TAbstractListObjet>
{
    Q_OBJECT
public:
    explicit TObjetListBox(QWidget *parent = nullptr);
    ~TObjetListBox() override;

    // Kept with the list; nothing here depends on it.
    bool SelectionnerOuverts = false;

    const TSortedKeys &Keys() const { return FKeys; }
    const TSortIndex &SortIndex() const { return FSortIndex; }
    // The entry of row index, or null.
    TAbstractListObjet *Entry(int index) const;

    // Lists entry at the place of its key and returns that row; an entry
    // whose key is already listed takes the place of the older entry.
    int AddEntry(std::unique_ptr<TAbstractListObjet> entry, bool select);
    void DeleteSelected() override;
    void ClearObjects();

protected:
    // The current row is the one selected row.
    void SetCurrentRow(int row) override;
    TAbstractListObjet *RowEntry(int row) const override { return Entry(row); }
    int CountedSelection() const override;
    QString CountsHint(int selected, int total) const override;

private:
    class TItem;
    TItem *ItemAt(int index) const;

    TSortedKeys FKeys;
    TSortIndex FSortIndex;
};
