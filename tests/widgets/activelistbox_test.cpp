// The active entry and counts tracking the clip and disc lists share, on a
// list of plain notes: cases the two lists' own tests do not reach.
#include "src/widgets/activelistbox.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct TNote
{
    QString Text;
};

// A list of notes that keeps removed notes alive until the new active one
// has been announced, as the clip and disc lists do with their entries.
class TNoteList : public TActiveEntryListBox<TNote>
{
public:
    TNoteList() { setSelectionMode(QAbstractItemView::ExtendedSelection); }

    void Insert(int row, const QString &text)
    {
        InsertRow(row, new TItem(std::make_unique<TNote>(TNote {text})));
        if (count() == 1)
            SetActive(0);
    }
    // The note of row gives way to a new note of the same text.
    void Replace(int row)
    {
        std::unique_ptr<TNote> &note = static_cast<TItem *>(item(row))->Note;
        FRemoved.push_back(std::exchange(note, std::make_unique<TNote>(TNote {note->Text + "'"})));
    }
    void DeleteSelected() override
    {
        int lowest = -1;
        for (int i = count() - 1; i >= 0; --i) {
            if (!item(i)->isSelected())
                continue;
            std::unique_ptr<TItem> taken(static_cast<TItem *>(takeItem(i)));
            FRemoved.push_back(std::move(taken->Note));
            lowest = i;
        }
        ActivateAfterRemoval(lowest);
    }

protected:
    void SetCurrentRow(int row) override
    {
        selectionModel()->setCurrentIndex(row < 0 ? QModelIndex() : model()->index(row, 0),
                                          QItemSelectionModel::NoUpdate);
    }
    TNote *RowEntry(int row) const override { return static_cast<TItem *>(item(row))->Note.get(); }
    int CountedSelection() const override { return int(selectedItems().size()); }
    QString CountsHint(int selected, int total) const override
    {
        return QStringLiteral("%1 sur %2").arg(selected).arg(total);
    }

private:
    struct TItem : QListWidgetItem
    {
        explicit TItem(std::unique_ptr<TNote> note) : QListWidgetItem(note->Text), Note(std::move(note)) { }
        std::unique_ptr<TNote> Note;
    };
    std::vector<std::unique_ptr<TNote>> FRemoved;
};

class ActiveListBoxTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        list.OnActiveChange = [this](TNote *actif) {
            announced.append(actif ? actif->Text : QString("none"));
        };
        list.OnCountsChange = [this](int selected, int total) { counts.push_back({selected, total}); };
        for (const char *text : {"a", "b", "c"})
            list.Insert(list.count(), text);
        announced.clear();
        counts.clear();
    }

    TNoteList list;
    QStringList announced;
    std::vector<std::pair<int, int>> counts;
};

// Removing every row from the program (no key involved) reports that no
// entry is active any more, and the empty counts.
TEST_F(ActiveListBoxTest, DeletingEveryRowLeavesNoActiveEntry)
{
    list.SetActive(1);
    list.selectAll();
    list.DeleteSelected();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(announced, (QStringList {"b", "none"}));
    EXPECT_EQ(list.Active(), nullptr);
    EXPECT_EQ(counts.back(), (std::pair {0, 0}));
    EXPECT_EQ(list.toolTip(), "0 sur 0");
}

// A row inserted at, above or below the current row leaves the current row
// on its entry, which is not announced again.
TEST_F(ActiveListBoxTest, InsertedRowsLeaveTheActiveEntryCurrent)
{
    list.SetActive(1);
    announced.clear();
    for (const int row : {1, 0, 4}) {
        list.Insert(row, QStringLiteral("new at %1").arg(row));
        list.CheckActive();
        ASSERT_NE(list.currentItem(), nullptr) << row;
        EXPECT_EQ(list.currentItem()->text(), "b") << row;
    }
    EXPECT_EQ(list.currentRow(), 3);
    EXPECT_TRUE(announced.isEmpty()) << announced.join(", ").toStdString();
}

// An entry replaced in place is another entry: the next check announces the
// new one, once.
TEST_F(ActiveListBoxTest, EntryReplacedInPlaceIsAnnouncedOnce)
{
    list.SetActive(2);
    list.Replace(2);
    list.CheckActive();
    list.CheckActive();
    EXPECT_EQ(announced, (QStringList {"c", "c'"}));
    EXPECT_EQ(list.Active()->Text, "c'");
}

// The counts are announced every time; the hint is written only when they
// changed, so a hint set in between stays until then.
TEST_F(ActiveListBoxTest, HintFollowsOnlyChangedCounts)
{
    list.SetActive(0);
    ASSERT_EQ(list.toolTip(), "1 sur 3");
    list.setToolTip("autre");
    list.UpdateCounts();
    EXPECT_EQ(list.toolTip(), "autre");
    list.item(2)->setSelected(true);
    list.UpdateCounts();
    EXPECT_EQ(list.toolTip(), "2 sur 3");
    EXPECT_EQ(counts, (std::vector<std::pair<int, int>> {{1, 3}, {1, 3}, {2, 3}}));
}

}  // namespace
