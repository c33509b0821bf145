// A sorted list box of list entries (TAbstractListObjet) with one active
// entry: the disc list of the disc page. It owns its entries, keeps a key
// per row in step with the rows, reports the active entry and the counts,
// and removes the selected entries on the Delete key when asked to.
#pragma once

#include "src/authoring/listdisque.h"
#include "src/clips/sortedkeys.h"
#include "src/widgets/activelistbox.h"

#include <functional>
#include <memory>
#include <vector>

class TObjetListBox : public TActiveListBox
{
    Q_OBJECT
public:
    using TonCountsChangeEvent = std::function<void(int iselcount, int icount)>;
    using TonActiveChangeEvent = std::function<void(TAbstractListObjet *actif)>;

    explicit TObjetListBox(QWidget *parent = nullptr);
    ~TObjetListBox() override;

    // Kept with the list; nothing here depends on it.
    bool SelectionnerOuverts = false;

    TonCountsChangeEvent OnCountsChange;
    TonActiveChangeEvent OnActiveChange;

    const TSortedKeys &Keys() const { return FKeys; }
    const TSortIndex &SortIndex() const { return FSortIndex; }
    // The entry last reported as active, or null.
    TAbstractListObjet *Active() const { return FActive; }
    // The entry of row index, or null.
    TAbstractListObjet *Entry(int index) const;

    // Lists entry at the place of its key and returns that row; an entry
    // whose key is already listed takes the place of the older entry.
    int AddEntry(std::unique_ptr<TAbstractListObjet> entry, bool select);
    void SetActive(int index);
    void CheckActive() override;
    void UpdateCounts() override;
    void DeleteSelected() override;
    void ClearObjects();

private:
    class TItem;
    TItem *ItemAt(int index) const;
    void SetCurrentRow(int row);

    TSortedKeys FKeys;
    TSortIndex FSortIndex;
    TAbstractListObjet *FActive = nullptr;
    int FLastCount = 0;
    int FLastSelCount = 0;
};
