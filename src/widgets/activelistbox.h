// What the clip list and the disc list share: a list with one active entry,
// the entry of the current row, announced when it changes; counts announced
// after every change, with a hint that gives them; and the key and mouse
// handling that brings both up to date after each click and navigation key
// and removes the selected rows on the Delete key when asked to.
#pragma once

#include <QListWidget>

#include <functional>

class TActiveListBox : public QListWidget
{
    Q_OBJECT
public:
    using TonCountsChangeEvent = std::function<void(int iselcount, int icount)>;

    explicit TActiveListBox(QWidget *parent = nullptr);

    // The Delete key removes the selected items.
    bool KeyDelete = false;
    TonCountsChangeEvent OnCountsChange;

    // Makes row index current and selected (−1: no current row), then
    // brings the active entry and the counts up to date. An index below −1
    // or past the last row does nothing.
    void SetActive(int index);
    // The current row's entry becomes the active one, announced when it is
    // another entry (an entry replaced in place is another); with no
    // current row no entry is active. The current row stays selected.
    void CheckActive();
    // Announces the counts; the hint is written again only when they
    // changed since the last time.
    void UpdateCounts();
    // Removes the selected items and makes a neighbour current.
    virtual void DeleteSelected() = 0;

protected:
    // Makes row current (−1: none), selecting as the list wants.
    virtual void SetCurrentRow(int row) = 0;
    // Makes the entry of row (none for −1) the active one, announcing it
    // when it differs from the one before.
    virtual void FollowActive(int row) = 0;
    // The selection count the counts give.
    virtual int CountedSelection() const = 0;
    // The hint for those counts.
    virtual QString CountsHint(int selected, int total) const = 0;

    // Inserts item at row index; the current row stays on its entry.
    void InsertRow(int index, QListWidgetItem *item);
    // After rows were removed, lowest the first of them (−1 for none): the
    // row above it becomes active, else the first row; with no row left, no
    // entry is active any more.
    void ActivateAfterRemoval(int lowest);

    // The control's own handling moves the selection and the current item
    // first; the counts and the active entry follow.
    void mouseReleaseEvent(QMouseEvent *event) override;
    // Page Up, Page Down, End, Home, Up, Down and Delete, without Ctrl or
    // Alt: Delete without Shift removes the selection when KeyDelete is
    // set; then the counts and the active entry follow.
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    int FLastCount = 0;
    int FLastSelCount = 0;
};

// The active entry of a list whose rows each show one TEntry.
template <class TEntry> class TActiveEntryListBox : public TActiveListBox
{
public:
    using TonActiveChangeEvent = std::function<void(TEntry *actif)>;
    using TActiveListBox::TActiveListBox;

    TonActiveChangeEvent OnActiveChange;

    // The entry last announced as active, or null.
    TEntry *Active() const { return FActive; }

protected:
    // The entry of a valid row.
    virtual TEntry *RowEntry(int row) const = 0;
    // Runs once OnActiveChange has returned.
    virtual void ActiveAnnounced() { }

private:
    void FollowActive(int row) final
    {
        TEntry *entry = row < 0 ? nullptr : RowEntry(row);
        if (entry == FActive)
            return;
        FActive = entry;
        if (OnActiveChange)
            OnActiveChange(entry);
        ActiveAnnounced();
    }

    TEntry *FActive = nullptr;
};
