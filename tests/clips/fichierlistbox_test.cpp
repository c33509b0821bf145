// The clip list box on the offscreen platform: insertion in key order,
// replacement of a file opened again, current record and counts, sorting,
// deletion, keys and mouse, and openings on workers.
#include "src/clips/fichierlistbox.h"

#include "src/clips/dropsource.h"
#include "tests/support/waituntil.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <atomic>

namespace {

int argc = 1;
char name[] = "fichierlistbox_test";
char *argv[] = {name, nullptr};

std::unique_ptr<TSRFichier> MakeRecord(const QString &path, std::uint64_t size = 0, std::int64_t written = 0)
{
    TFindData entry;
    entry.FileName = path.mid(path.lastIndexOf('/') + 1);
    entry.SizeHigh = std::uint32_t(size >> 32);
    entry.SizeLow = std::uint32_t(size);
    entry.LastWriteTime.Seconds = written;
    return TSRFichier::CreateFromEntry(path.left(path.lastIndexOf('/') + 1), entry);
}

class ListBoxTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!QApplication::instance())
            new QApplication(argc, argv);
    }

    void SetUp() override
    {
        lb = std::make_unique<TFichierListBox>();
        lb->resize(273, 354);
        lb->show();
        lb->OnCountsChange = [this](int selected, int total) { FCounts.push_back({selected, total}); };
        lb->OnActiveChange = [this](TAbstractListFichier *actif) {
            // Dereferenced on purpose: the record announced must be alive.
            FActivePaths.append(actif ? actif->FullPath() : QString("none"));
        };
    }

    TAbstractListFichier *Add(const QString &path, std::uint64_t size = 0, std::int64_t written = 0,
                              bool select = false)
    {
        auto record = MakeRecord(path, size, written);
        TAbstractListFichier *raw = record.get();
        lb->AddFile(std::move(record), select);
        return raw;
    }

    QStringList Names() const
    {
        QStringList names;
        for (int i = 0; i < lb->count(); ++i)
            names.append(lb->item(i)->text());
        return names;
    }

    QList<int> SelectedRows() const
    {
        QList<int> rows;
        for (int i = 0; i < lb->count(); ++i) {
            if (lb->item(i)->isSelected())
                rows.append(i);
        }
        return rows;
    }

    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(lb.get(), &press);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers);
        QApplication::sendEvent(lb.get(), &release);
    }

    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QMouseEvent event(type, at, lb->viewport()->mapToGlobal(at), button, buttons, modifiers);
        QApplication::sendEvent(lb->viewport(), &event);
    }

    void Click(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const QPoint at = lb->visualItemRect(lb->item(row)).center();
        Mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, modifiers);
        Mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton, modifiers);
    }

    std::unique_ptr<TFichierListBox> lb;
    std::vector<std::pair<int, int>> FCounts;
    QStringList FActivePaths;
};

TEST_F(ListBoxTest, FirstFileBecomesCurrentSelectedAndAnnounced)
{
    Add("/data/m.m2ts");
    EXPECT_EQ(lb->currentRow(), 0);
    EXPECT_EQ(SelectedRows(), (QList<int> {0}));
    EXPECT_EQ(FActivePaths, (QStringList {"/data/m.m2ts"}));
    EXPECT_EQ(lb->Active(), lb->Record(0));

    // Later files come unselected; the current item stays on its record.
    Add("/data/a.m2ts");
    Add("/data/z.m2ts");
    EXPECT_EQ(Names(), (QStringList {"a.m2ts", "m.m2ts", "z.m2ts"}));
    EXPECT_EQ(lb->currentRow(), 1);
    EXPECT_EQ(SelectedRows(), (QList<int> {1}));
    EXPECT_EQ(FActivePaths.size(), 1);
    EXPECT_EQ(FCounts.back(), (std::pair {1, 3}));
}

TEST_F(ListBoxTest, SelectedOpeningsAreSelected)
{
    Add("/data/b.m2ts");
    Add("/data/a.m2ts", 0, 0, true);
    EXPECT_EQ(SelectedRows(), (QList<int> {0, 1}));
    EXPECT_EQ(lb->SelectedCount(), int(lb->selectedItems().size()));
}

TEST_F(ListBoxTest, OpeningTheSameFilesAgainReplacesTheRecordsInPlace)
{
    Add("/data/a.m2ts");
    Add("/data/b.m2ts");
    Add("/data/c.m2ts");
    lb->item(2)->setSelected(true);
    std::vector<TAbstractListFichier *> newer;
    for (const char *path : {"/data/c.m2ts", "/data/a.m2ts", "/data/b.m2ts"})
        newer.push_back(Add(path));
    EXPECT_EQ(lb->count(), 3);
    EXPECT_EQ(lb->Keys().Count(), 3);
    EXPECT_EQ(lb->Record(0), newer[1]);
    EXPECT_EQ(lb->Record(1), newer[2]);
    EXPECT_EQ(lb->Record(2), newer[0]);
    EXPECT_EQ(SelectedRows(), (QList<int> {0, 2}));
    EXPECT_EQ(lb->currentRow(), 0);
}

TEST_F(ListBoxTest, PathDifferingOnlyInLetterCaseIsListedOnceWithItsFirstText)
{
    Add("/data/Clip.m2ts");
    TAbstractListFichier *second = Add("/DATA/CLIP.M2TS");
    EXPECT_EQ(Names(), (QStringList {"Clip.m2ts"}));
    EXPECT_EQ(lb->Record(0), second);
    // The active record was replaced: the next check announces the newer one.
    lb->CheckActive();
    EXPECT_EQ(FActivePaths.last(), "/DATA/CLIP.M2TS");
}

TEST_F(ListBoxTest, BeforeListerKeepsRecordsOut)
{
    lb->BeforeLister = [](TAbstractListFichier *bf) { return !bf->FileName().startsWith('x'); };
    Add("/data/x.m2ts");
    Add("/data/y.m2ts");
    EXPECT_EQ(Names(), (QStringList {"y.m2ts"}));
}

struct SortCase
{
    const TSortIndex *index;
    QStringList expected;
};

class ListBoxSortTest : public ListBoxTest, public ::testing::WithParamInterface<SortCase>
{ };

TEST_P(ListBoxSortTest, SortOrders)
{
    // Names, sizes and last-write times disagree on the order.
    Add("/b/clip.m2ts", 5'000'000'000, 300);
    Add("/a/clip.m2ts", 700'000'000, 100);
    Add("/a/Big.MTS", 800'000'000, 200);
    Add("/a/zed.m2ts", 600'000'000, 400);
    lb->SortBy(*GetParam().index);
    QStringList paths;
    for (int i = 0; i < lb->count(); ++i)
        paths.append(lb->Record(i)->FullPath());
    EXPECT_EQ(paths, GetParam().expected);
    EXPECT_EQ(lb->Keys().Count(), lb->count());
    EXPECT_EQ(lb->SortIndex().Key, GetParam().index->Key);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, ListBoxSortTest,
    ::testing::Values(SortCase {&SortAlpha, {"/a/Big.MTS", "/a/clip.m2ts", "/b/clip.m2ts", "/a/zed.m2ts"}},
                      SortCase {&SortTaille, {"/a/zed.m2ts", "/a/clip.m2ts", "/a/Big.MTS", "/b/clip.m2ts"}},
                      SortCase {&SortModify, {"/a/clip.m2ts", "/a/Big.MTS", "/b/clip.m2ts", "/a/zed.m2ts"}},
                      SortCase {&SortPath, {"/a/Big.MTS", "/a/clip.m2ts", "/a/zed.m2ts", "/b/clip.m2ts"}}),
    [](const auto &info) { return info.param.index->Key.toStdString(); });

TEST_F(ListBoxTest, SortByKeepsTheSelectedAndCurrentRecords)
{
    std::vector<TAbstractListFichier *> records;
    for (int i = 0; i < 5; ++i)
        records.push_back(Add(QString("/data/clip%1.m2ts").arg(i), std::uint64_t(1000 - i)));
    lb->item(0)->setSelected(false);
    lb->item(1)->setSelected(true);
    lb->SetActive(3);
    const int announced = int(FActivePaths.size());
    FCounts.clear();
    lb->SortBy(SortTaille);
    EXPECT_EQ(lb->Record(0), records[4]);
    EXPECT_EQ(lb->Active(), records[3]);
    EXPECT_EQ(lb->Record(lb->currentRow()), records[3]);
    EXPECT_EQ(SelectedRows(), (QList<int> {1, 3}));  // records 3 and 1
    EXPECT_EQ(int(FActivePaths.size()), announced);
    ASSERT_FALSE(FCounts.empty());
    EXPECT_EQ(FCounts.back(), (std::pair {2, 5}));
}

TEST_F(ListBoxTest, SortByOnAnEmptyListRaisesNoCountsChange)
{
    lb->SortBy(SortTaille);
    EXPECT_TRUE(FCounts.empty());
    EXPECT_EQ(lb->SortIndex().Key, "taille");
}

TEST_F(ListBoxTest, ResortDropsARecordWhoseKeyAnotherTakes)
{
    // Two files equal apart from case both fit under "taille" (sizes
    // differ) but not under "alpha": the list stays consistent.
    lb->SortBy(SortTaille);
    Add("/data/clip.m2ts", 10);
    TAbstractListFichier *later = Add("/data/CLIP.m2ts", 20);
    ASSERT_EQ(lb->count(), 2);
    lb->SortBy(SortAlpha);
    EXPECT_EQ(lb->count(), 1);
    EXPECT_EQ(lb->Keys().Count(), 1);
    EXPECT_EQ(lb->Record(0), later);
}

TEST_F(ListBoxTest, DeletingItems3And4Of6MakesItem2Current)
{
    lb->KeyDelete = true;
    for (int i = 0; i < 6; ++i)
        Add(QString("/data/%1.m2ts").arg(i));
    lb->clearSelection();
    lb->item(3)->setSelected(true);
    lb->item(4)->setSelected(true);
    Key(Qt::Key_Delete);
    EXPECT_EQ(Names(), (QStringList {"0.m2ts", "1.m2ts", "2.m2ts", "5.m2ts"}));
    EXPECT_EQ(lb->currentRow(), 2);
    EXPECT_EQ(FActivePaths.last(), "/data/2.m2ts");
    EXPECT_EQ(lb->Keys().Count(), 4);
}

TEST_F(ListBoxTest, DeletingItem0MakesTheNewItem0Current)
{
    lb->KeyDelete = true;
    for (int i = 0; i < 3; ++i)
        Add(QString("/data/%1.m2ts").arg(i));
    Key(Qt::Key_Delete);  // item 0: current and selected since it came first
    EXPECT_EQ(Names(), (QStringList {"1.m2ts", "2.m2ts"}));
    EXPECT_EQ(lb->currentRow(), 0);
    EXPECT_EQ(FActivePaths.last(), "/data/1.m2ts");
}

TEST_F(ListBoxTest, DeletingEveryItemAnnouncesNoRecordAndZeroCounts)
{
    lb->KeyDelete = true;
    for (int i = 0; i < 3; ++i)
        Add(QString("/data/%1.m2ts").arg(i));
    lb->selectAll();
    Key(Qt::Key_Delete);
    EXPECT_EQ(lb->count(), 0);
    EXPECT_EQ(lb->Keys().Count(), 0);
    EXPECT_EQ(FActivePaths.last(), "none");
    EXPECT_EQ(lb->Active(), nullptr);
    EXPECT_EQ(FCounts.back(), (std::pair {0, 0}));
}

struct KeptCase
{
    const char *name;
    bool keyDelete;
    Qt::KeyboardModifiers modifiers;
    bool countsRefreshed;
};

class ListBoxDeleteKeptTest : public ListBoxTest, public ::testing::WithParamInterface<KeptCase>
{ };

TEST_P(ListBoxDeleteKeptTest, DeleteRemovesNothing)
{
    lb->KeyDelete = GetParam().keyDelete;
    Add("/data/a.m2ts");
    Add("/data/b.m2ts");
    FCounts.clear();
    Key(Qt::Key_Delete, GetParam().modifiers);
    EXPECT_EQ(lb->count(), 2);
    EXPECT_EQ(!FCounts.empty(), GetParam().countsRefreshed);
}

INSTANTIATE_TEST_SUITE_P(Keys, ListBoxDeleteKeptTest,
                         ::testing::Values(KeptCase {"shift", true, Qt::ShiftModifier, true},
                                           KeptCase {"key_delete_off", false, Qt::NoModifier, true},
                                           KeptCase {"ctrl_ignored", true, Qt::ControlModifier, false},
                                           KeptCase {"alt_ignored", true, Qt::AltModifier, false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ListBoxTest, ArrowKeysMoveTheActiveRecord)
{
    lb->setFocus();
    for (int i = 0; i < 3; ++i)
        Add(QString("/data/%1.m2ts").arg(i));
    Key(Qt::Key_Down);
    EXPECT_EQ(FActivePaths.last(), "/data/1.m2ts");
    Key(Qt::Key_End);
    EXPECT_EQ(FActivePaths.last(), "/data/2.m2ts");
    EXPECT_EQ(FCounts.back(), (std::pair {1, 3}));
}

struct HintCase
{
    int total;
    int selected;
    const char *hint;
};

class ListBoxHintTest : public ListBoxTest, public ::testing::WithParamInterface<HintCase>
{ };

TEST_P(ListBoxHintTest, HintGivesTheSelectedAndTotalCounts)
{
    for (int i = 0; i < GetParam().total; ++i)
        Add(QString("/data/%1.m2ts").arg(i));
    lb->clearSelection();
    for (int i = 0; i < GetParam().selected; ++i)
        lb->item(i)->setSelected(true);
    lb->UpdateCounts();
    EXPECT_EQ(lb->toolTip(), QString::fromUtf8(GetParam().hint));
    EXPECT_EQ(FCounts.back(), (std::pair {GetParam().selected, GetParam().total}));
}

INSTANTIATE_TEST_SUITE_P(Counts, ListBoxHintTest,
                         ::testing::Values(HintCase {1, 1, "1 fichier sélectionné sur 1\r\n"},
                                           HintCase {3, 0, "0 fichier sélectionné sur 3\r\n"},
                                           HintCase {5, 2, "2 fichiers sélectionnés sur 5\r\n"}));

TEST_F(ListBoxTest, ClearFilesAnnouncesNoRecordAndZeroCounts)
{
    Add("/data/a.m2ts");
    Add("/data/b.m2ts");
    lb->ClearFiles();
    EXPECT_EQ(lb->count(), 0);
    EXPECT_EQ(lb->Keys().Count(), 0);
    EXPECT_EQ(FActivePaths.last(), "none");
    EXPECT_EQ(FCounts.back(), (std::pair {0, 0}));
    Add("/data/c.m2ts");  // an empty list again makes its first file active
    EXPECT_EQ(FActivePaths.last(), "/data/c.m2ts");
}

TEST_F(ListBoxTest, SetActiveOutOfRangeDoesNothing)
{
    Add("/data/a.m2ts");
    FCounts.clear();
    lb->SetActive(1);
    lb->SetActive(-2);
    EXPECT_TRUE(FCounts.empty());
    EXPECT_EQ(lb->currentRow(), 0);
}

TEST_F(ListBoxTest, ClickMakesTheClickedRecordActive)
{
    for (int i = 0; i < 3; ++i)
        Add(QString("/data/%1.m2ts").arg(i));
    Click(2);
    EXPECT_EQ(FActivePaths.last(), "/data/2.m2ts");
    EXPECT_EQ(SelectedRows(), (QList<int> {2}));
    EXPECT_EQ(FCounts.back(), (std::pair {1, 3}));
    EXPECT_EQ(lb->SelectedPaths(), (QStringList {"/data/2.m2ts"}));
}

TEST_F(ListBoxTest, CtrlClickOnTheSelectedCurrentItemLeavesItSelected)
{
    for (int i = 0; i < 3; ++i)
        Add(QString("/data/%1.m2ts").arg(i));
    Click(1);
    Click(1, Qt::ControlModifier);
    EXPECT_EQ(lb->currentRow(), 1);
    EXPECT_TRUE(lb->item(1)->isSelected());
}

TEST_F(ListBoxTest, DragStartsAtTenPixelsNotNine)
{
    for (int i = 0; i < 3; ++i)
        Add(QString("/data/%1.m2ts").arg(i));
    int drags = 0;
    QObject::connect(lb.get(), &TFichierListBox::DragStartRequested, [&] { ++drags; });
    // Each drag started is cancelled with Escape as soon as it runs.
    QTimer canceller;
    QObject::connect(&canceller, &QTimer::timeout, [this] {
        if (lb->DragSource()->Dragging()) {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(lb.get(), &escape);
        }
    });
    canceller.start(10);
    const QPoint at = lb->visualItemRect(lb->item(0)).center();
    Mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    Mouse(QEvent::MouseMove, at + QPoint(9, 0), Qt::NoButton, Qt::LeftButton);
    Mouse(QEvent::MouseMove, at + QPoint(-9, 9), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(drags, 0);
    Mouse(QEvent::MouseMove, at + QPoint(0, -10), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(drags, 1);
    Mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    // Without a button held nothing is dragged.
    Mouse(QEvent::MouseMove, at + QPoint(40, 40), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(drags, 1);
}

TEST_F(ListBoxTest, StopOpeningWithoutOpeningReturns)
{
    lb->StopOpening();
    EXPECT_FALSE(lb->Busy());
}

// Openings through workers, on a folder of empty files named like clips.
class ListBoxOpenTest : public ListBoxTest
{
protected:
    void SetUp() override
    {
        ListBoxTest::SetUp();
        ASSERT_TRUE(FDir.isValid());
        Root = FDir.path() + "/";
        lb->SetRecordClass(TlfCLass::SRFichier());
        lb->OnOpenTestExtension = [](const QString &name) {
            return name.endsWith(QLatin1String(".m2ts"), Qt::CaseInsensitive);
        };
        lb->OnOpenStart = [this] { FEvents.append("start"); };
        lb->OnOpenFolderFound = [this](const QString &folder) { FEvents.append("folder " + folder); };
        lb->OnOpenFileFound = [this](const QString &, TAbstractListFichier *sf) {
            FEvents.append("file " + sf->FileName());
        };
        lb->OnOpenEnd = [this](int nb) {
            FEvents.append(QString("end %1").arg(nb));
            ++FEnds;
        };
    }

    void Touch(const QString &relative)
    {
        const QString path = Root + relative;
        QDir().mkpath(path.left(path.lastIndexOf('/')));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    // A record class whose records take a while to make, as probed clips do;
    // Made counts the records begun.
    TlfCLass SlowClass(int milliseconds)
    {
        return TlfCLass("TSRFichier", [this, milliseconds](const QString &folder, const TFindData &entry) {
            ++FMade;
            QThread::msleep(milliseconds);
            return TSRFichier::CreateFromEntry(folder, entry);
        });
    }

    QTemporaryDir FDir;
    QString Root;
    QStringList FEvents;
    int FEnds = 0;
    std::atomic<int> FMade = 0;
};

TEST_F(ListBoxOpenTest, FolderWithThreeClipsAndTwoInASubfolder)
{
    for (const char *name :
         {"a.m2ts", "b.m2ts", "c.m2ts", "notes.txt", "sub/d.m2ts", "sub/e.m2ts", "sub/x.jpg"})
        Touch(name);
    lb->OpenFolder(FDir.path());
    ASSERT_TRUE(WaitUntil([&] { return FEnds == 1; }, 30'000));
    EXPECT_EQ(Names(), (QStringList {"a.m2ts", "b.m2ts", "c.m2ts", "d.m2ts", "e.m2ts"}));
    EXPECT_EQ(FEvents.first(), "start");
    EXPECT_EQ(FEvents.filter(QRegularExpression("^folder ")),
              (QStringList {"folder " + Root, "folder " + Root + "sub/"}));
    EXPECT_EQ(FEvents.filter(QRegularExpression("^file ")).size(), 5);
    EXPECT_EQ(FEvents.last(), "end 5");
    EXPECT_FALSE(lb->Busy());
    // The first file found became current and active; it stayed so.
    ASSERT_GE(lb->currentRow(), 0);
    EXPECT_EQ(lb->Active(), lb->Record(lb->currentRow()));
    EXPECT_EQ(SelectedRows(), (QList<int> {lb->currentRow()}));
}

TEST_F(ListBoxOpenTest, ChosenFilesRaiseNoFolderEvent)
{
    Touch("a.m2ts");
    Touch("b.m2ts");
    lb->OpenFiles({Root + "a.m2ts", Root + "b.m2ts"});
    ASSERT_TRUE(WaitUntil([&] { return FEnds == 1; }, 30'000));
    EXPECT_EQ(FEvents, (QStringList {"start", "file a.m2ts", "file b.m2ts", "end 2"}));
}

TEST_F(ListBoxOpenTest, PastingTextOnlyGivesStartThenEndWithNothing)
{
    Touch("a.m2ts");
    QApplication::clipboard()->setText(Root + "a.m2ts");
    lb->PasteFiles();
    ASSERT_TRUE(WaitUntil([&] { return FEnds == 1; }, 30'000));
    EXPECT_EQ(FEvents, (QStringList {"start", "end 0"}));
    EXPECT_EQ(lb->count(), 0);
}

TEST_F(ListBoxOpenTest, PastingCopiedFilesOpensThemWithTheirSubfolders)
{
    Touch("a.m2ts");
    Touch("dir/b.m2ts");
    auto *data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(Root + "a.m2ts"), QUrl::fromLocalFile(Root + "dir")});
    QApplication::clipboard()->setMimeData(data);
    lb->PasteFiles();
    ASSERT_TRUE(WaitUntil([&] { return FEnds == 1; }, 30'000));
    EXPECT_EQ(Names(), (QStringList {"a.m2ts", "b.m2ts"}));
    EXPECT_EQ(FEvents.last(), "end 2");
}

TEST_F(ListBoxOpenTest, DroppedListFileIsRead)
{
    Touch("a.m2ts");
    Touch("b.m2ts");
    QFile list(Root + "list.txt");
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write(("# only b\n" + Root + "b.m2ts\n").toUtf8());
    list.close();
    lb->DropFiles({Root + "list.txt"});
    ASSERT_TRUE(WaitUntil([&] { return FEnds == 1; }, 30'000));
    EXPECT_EQ(Names(), (QStringList {"b.m2ts"}));
}

TEST_F(ListBoxOpenTest, FilesDroppedOnAnAcceptingListAreOpened)
{
    Touch("a.m2ts");
    Touch("dir/b.m2ts");
    lb->SetAcceptFiles(true);
    QMimeData text;
    text.setText(Root + "a.m2ts");
    QDragEnterEvent textEnter(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(lb->viewport(), &textEnter);
    EXPECT_FALSE(textEnter.isAccepted());

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(Root + "a.m2ts"), QUrl::fromLocalFile(Root + "dir")});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(lb->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(lb->viewport(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    ASSERT_TRUE(WaitUntil([&] { return FEnds == 1; }, 30'000));
    EXPECT_EQ(Names(), (QStringList {"a.m2ts", "b.m2ts"}));
}

TEST_F(ListBoxOpenTest, ClassChosenForAnExtensionBecomesTheRecordClass)
{
    Touch("a.M2TS");
    lb->SetRecordClass({});
    QStringList extensions;  // written on the worker, read after its end
    lb->OnCreateFichier = [&](const QString &ext) {
        extensions.append(ext);
        return TlfCLass::SRFichier();
    };
    lb->OpenFiles({Root + "a.M2TS"});
    ASSERT_TRUE(WaitUntil([&] { return FEnds == 1; }, 30'000));
    EXPECT_EQ(extensions, (QStringList {".M2TS"}));
    EXPECT_EQ(lb->RecordClass().ClassName(), "TSRFichier");
    ASSERT_EQ(lb->count(), 1);
    EXPECT_NE(dynamic_cast<TSRFichier *>(lb->Record(0)), nullptr);
}

TEST_F(ListBoxOpenTest, StoppingKeepsWhatWasFound)
{
    for (int i = 0; i < 40; ++i)
        Touch(QString("clip%1.m2ts").arg(i, 2, 10, QChar('0')));
    lb->SetRecordClass(SlowClass(25));
    lb->OpenFolder(FDir.path());
    ASSERT_TRUE(WaitUntil([&] { return lb->count() >= 3; }, 30'000));
    lb->StopOpening();
    EXPECT_FALSE(lb->Busy());
    // The worker clears Busy just before its end call.
    ASSERT_TRUE(WaitUntil([&] { return FEnds == 1; }, 30'000));
    const int listed = lb->count();
    EXPECT_LT(listed, 40);
    EXPECT_EQ(FEvents.last(), QString("end %1").arg(listed));
}

TEST_F(ListBoxOpenTest, WorkerStartedWhileAnotherRuns)
{
    for (int i = 0; i < 6; ++i) {
        Touch(QString("one/a%1.m2ts").arg(i));
        Touch(QString("two/b%1.m2ts").arg(i));
    }
    lb->SetRecordClass(SlowClass(5));
    lb->OpenFolder(Root + "one");
    lb->OpenFolder(Root + "two");
    ASSERT_TRUE(WaitUntil([&] { return FEnds == 2; }, 30'000));
    EXPECT_EQ(lb->count(), 12);
    EXPECT_EQ(FEvents.count("start"), 2);
    EXPECT_FALSE(lb->Busy());
}

// Stopping stops every opening under way and returns once all have ended:
// nothing is added after it returns.
TEST_F(ListBoxOpenTest, StoppingWaitsForEveryOpening)
{
    for (int i = 0; i < 30; ++i) {
        Touch(QString("one/a%1.m2ts").arg(i, 2, 10, QChar('0')));
        Touch(QString("two/b%1.m2ts").arg(i, 2, 10, QChar('0')));
    }
    lb->SetRecordClass(SlowClass(20));
    lb->OpenFolder(Root + "one");
    lb->OpenFolder(Root + "two");
    ASSERT_TRUE(WaitUntil([&] { return lb->count() >= 4; }, 30'000));
    lb->StopOpening();
    EXPECT_FALSE(lb->Busy());
    const int listed = lb->count();
    EXPECT_LT(listed, 60);
    ASSERT_TRUE(WaitUntil([&] { return FEnds == 2; }, 30'000));
    EXPECT_EQ(lb->count(), listed);
}

TEST_F(ListBoxOpenTest, ClosingTheListWhileAnOpeningRuns)
{
    for (int i = 0; i < 40; ++i)
        Touch(QString("clip%1.m2ts").arg(i));
    lb->SetRecordClass(SlowClass(20));
    lb->OpenFolder(FDir.path());
    ASSERT_TRUE(WaitUntil([&] { return lb->count() >= 2; }, 30'000));
    lb.reset();
    // The worker was stopped, not waited for through all forty clips.
    EXPECT_LT(FMade, 40);
    // Nothing queued for the closed list may run any more.
    QApplication::processEvents();
    EXPECT_EQ(FEnds, 0);
}

}  // namespace
