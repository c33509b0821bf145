// Dragging clips out of the list on the minimal platform (the offscreen one
// cannot drag), with the pointer driven by QTest: a drop target
// beside the list receives the selected paths at the drop, Escape and a
// target that only moves get nothing, and the data is not there to read
// while the drag hovers.
#include "src/clips/dropsource.h"
#include "src/clips/fichierlistbox.h"
#include "src/clips/mimefiles.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

int argc = 1;
char name[] = "dropsource_test";
char *argv[] = {name, nullptr};

std::unique_ptr<TSRFichier> MakeRecord(const QString &path)
{
    TFindData entry;
    entry.FileName = path.mid(path.lastIndexOf('/') + 1);
    return TSRFichier::CreateFromEntry(path.left(path.lastIndexOf('/') + 1), entry);
}

// A widget taking files dropped on it; with MoveOnly it takes them only
// when they may be moved.
class TDropTarget : public QWidget
{
public:
    bool MoveOnly = false;
    int Drops = 0;
    QStringList Received;
    QStringList OfferedWhileHovering;
    QByteArray DataWhileHovering;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override { Hover(event); }
    void dragMoveEvent(QDragMoveEvent *event) override { Hover(event); }
    void dropEvent(QDropEvent *event) override
    {
        ++Drops;
        Received = MimeDataFiles(*event->mimeData());
        event->acceptProposedAction();
    }

private:
    void Hover(QDragMoveEvent *event)
    {
        OfferedWhileHovering = event->mimeData()->formats();
        DataWhileHovering = event->mimeData()->data(QStringLiteral("text/uri-list"));
        if (!event->mimeData()->hasFormat(QStringLiteral("text/uri-list"))) {
            event->ignore();
        } else if (!MoveOnly) {
            event->acceptProposedAction();
        } else if (event->possibleActions() & Qt::MoveAction) {
            event->setDropAction(Qt::MoveAction);
            event->accept();
        } else {
            event->ignore();
        }
    }
};

class DragOutTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static QTemporaryDir home;
        qputenv("HOME", home.path().toUtf8());
        if (!QApplication::instance())
            new QApplication(argc, argv);
    }

    void SetUp() override
    {
        FWindow.resize(500, 300);
        lb = new TFichierListBox(&FWindow);
        lb->setGeometry(0, 0, 250, 300);
        FTarget = new TDropTarget;
        FTarget->setParent(&FWindow);
        FTarget->setAcceptDrops(true);
        FTarget->setGeometry(250, 0, 250, 300);
        FWindow.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&FWindow));
        for (const char *path : {"/data/été 1.m2ts", "/data/b.m2ts", "/data/c.m2ts", "/data/d.m2ts"})
            lb->AddFile(MakeRecord(QString::fromUtf8(path)), false);
        // Items 1 to 3 selected.
        lb->clearSelection();
        for (int i = 1; i < 4; ++i)
            lb->item(i)->setSelected(true);
    }

    QPoint ItemPoint(int index) const
    {
        return lb->viewport()->mapTo(&FWindow, lb->visualItemRect(lb->item(index)).center());
    }

    // Presses on item 1, moves far enough to start the drag, and once it
    // runs moves over the target and calls end (which releases the button
    // or presses Escape).
    void DragToTarget(const std::function<void(QWindow *, QPoint)> &end)
    {
        RunDrag(end);
        // The drag ran, and the press on a selected clip kept the selection.
        EXPECT_EQ(FSteps, 2);
        EXPECT_EQ(lb->SelectedCount(), 3);
    }

    void RunDrag(const std::function<void(QWindow *, QPoint)> &end)
    {
        QWindow *handle = FWindow.windowHandle();
        const QPoint over = FTarget->geometry().center();
        int &step = FSteps;
        QTimer driver;
        QObject::connect(&driver, &QTimer::timeout, [&] {
            if (!lb->DragSource()->Dragging())
                return;
            if (step++ == 0) {
                QTest::mouseMove(handle, over);
            } else {
                driver.stop();
                end(handle, over);
            }
        });
        driver.start(10);
        const QPoint from = ItemPoint(1);
        QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(handle, from + QPoint(0, 12));  // returns when the drag is over
        driver.stop();
    }

    QWidget FWindow;
    TFichierListBox *lb = nullptr;
    TDropTarget *FTarget = nullptr;
    int FSteps = 0;
};

TEST_F(DragOutTest, DropGivesTheSelectedPathsAndTheClipsStayListed)
{
    int onDrop = 0;
    const auto listHandler = lb->DragSource()->OnDrop;
    lb->DragSource()->OnDrop = [&](TDropSource *sender, TDragType kind, bool &go) {
        ++onDrop;
        EXPECT_EQ(kind, dtCopy);
        listHandler(sender, kind, go);
    };
    DragToTarget([](QWindow *w, QPoint at) { QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, at); });
    EXPECT_EQ(onDrop, 1);
    EXPECT_EQ(FTarget->Drops, 1);
    // Items 1 to 3, in list order (where "été" sorts depends on the locale).
    const QStringList selected {lb->Record(1)->FullPath(), lb->Record(2)->FullPath(),
                                lb->Record(3)->FullPath()};
    EXPECT_EQ(FTarget->Received, selected);
    EXPECT_EQ(lb->DragSource()->Files, selected);
    EXPECT_EQ(lb->count(), 4);
    // While hovering the formats are offered but hold nothing yet.
    EXPECT_TRUE(FTarget->OfferedWhileHovering.contains(QStringLiteral("text/uri-list")));
    EXPECT_TRUE(FTarget->OfferedWhileHovering.contains(QStringLiteral("x-special/gnome-copied-files")));
    EXPECT_TRUE(FTarget->OfferedWhileHovering.contains(QString::fromLatin1(kDropFilesMime)));
    EXPECT_TRUE(FTarget->DataWhileHovering.isEmpty());
}

TEST_F(DragOutTest, EscapeCancelsWithoutOnDrop)
{
    int onDrop = 0;
    lb->DragSource()->OnDrop = [&](TDropSource *, TDragType, bool &) { ++onDrop; };
    DragToTarget([](QWindow *w, QPoint) { QTest::keyPress(w, Qt::Key_Escape); });
    EXPECT_EQ(onDrop, 0);
    EXPECT_EQ(FTarget->Drops, 0);
    EXPECT_TRUE(lb->DragSource()->Files.isEmpty());
    EXPECT_FALSE(lb->DragSource()->Dragging());
}

TEST_F(DragOutTest, TargetThatOnlyMovesGetsNothing)
{
    FTarget->MoveOnly = true;
    int onDrop = 0;
    lb->DragSource()->OnDrop = [&](TDropSource *, TDragType, bool &) { ++onDrop; };
    DragToTarget([](QWindow *w, QPoint at) { QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, at); });
    EXPECT_EQ(onDrop, 0);
    EXPECT_EQ(FTarget->Drops, 0);
    EXPECT_EQ(lb->DragSource()->FeedbackEffect(), 0);
}

TEST_F(DragOutTest, OnDropMayRefuseTheDrop)
{
    lb->DragSource()->OnDrop = [](TDropSource *, TDragType, bool &go) { go = false; };
    DragToTarget([](QWindow *w, QPoint at) { QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, at); });
    EXPECT_EQ(FTarget->Drops, 0);
}

TEST(DropFileSource, RendersNothingWithoutFilesAndMapsOnlyWhenComplete)
{
    TDropFileSourceW source;
    for (const QString &format : source.Formats())
        EXPECT_TRUE(source.DoGetData(format).isEmpty()) << format.toStdString();
    source.Files = {QStringLiteral("/a.m2ts"), QStringLiteral("/b.m2ts")};
    EXPECT_EQ(source.DoGetData(QStringLiteral("text/uri-list")),
              QByteArray("file:///a.m2ts\r\nfile:///b.m2ts\r\n"));
    EXPECT_EQ(source.DoGetData(QString::fromLatin1(kDropFilesMime)).size(), 20 + 16 + 16 + 2);
    EXPECT_TRUE(source.DoGetData(QString::fromLatin1(kFileNameMapWMime)).isEmpty());
    source.MappedNames = {QStringLiteral("x"), QStringLiteral("y")};
    EXPECT_EQ(source.DoGetData(QString::fromLatin1(kFileNameMapMime)), QByteArray("x\0y\0\0", 5));
    EXPECT_TRUE(source.DoGetData(QStringLiteral("text/plain")).isEmpty());
}

}  // namespace
