#include "src/clips/fichierlistbox.h"

#include "src/clips/clipcheck.h"
#include "src/clips/dropsource.h"
#include "src/clips/listfichier.h"
#include "src/platform/logging.h"
#include "src/clips/mimefiles.h"

#include <QClipboard>
#include <QColor>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QHash>
#include <QMimeData>
#include <QMouseEvent>

#include <algorithm>
#include <cstdlib>

// An item of the list: the record's file name, and the record it owns.
class TFichierListBox::TItem : public QListWidgetItem
{
public:
    explicit TItem(std::unique_ptr<TAbstractListFichier> record)
        : QListWidgetItem(record->FileName(), nullptr, QListWidgetItem::UserType), Record(std::move(record))
    { }
    // The record's own hint is the item's tooltip; it follows a record
    // replaced in place.
    QVariant data(int role) const override
    {
        if (role == Qt::ToolTipRole) {
            const QString hint = Record->Hint();
            return hint.isEmpty() ? QVariant() : QVariant(hint);
        }
        return QListWidgetItem::data(role);
    }
    // Ordered by Rank when the list is sorted again.
    bool operator<(const QListWidgetItem &other) const override
    {
        return Rank < static_cast<const TItem &>(other).Rank;
    }

    std::unique_ptr<TAbstractListFichier> Record;
    int Rank = 0;

    // A file that is not a readable clip is greyed (its hint says why).
    void ShowReadable()
    {
        const auto *clip = dynamic_cast<const Tm2tsFichier *>(Record.get());
        setData(Qt::ForegroundRole, clip && !IsReadableClip(*clip) ? QVariant(QColor(Qt::gray)) : QVariant());
    }
};

TFichierListBox::TFichierListBox(QWidget *parent) : TActiveEntryListBox(parent), FSortIndex(SortAlpha)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Every row shows one file name in one font: one height for all rows
    // keeps long lists fast.
    setUniformItemSizes(true);

    // A press on a selected item keeps the selection until the release,
    // so that the selected clips can be dragged out together.
    setDragEnabled(true);
    FDragSource = new TDropFileSourceW(this);
    FDragSource->OnDrop = [this](TDropSource *, TDragType, bool &) {
        FDragSource->Files.append(SelectedPaths());
    };
    connect(this, &TFichierListBox::DragStartRequested, this, [this] {
        FDragSource->Files.clear();
        FDragSource->Execute(viewport());
    });
}

TFichierListBox::~TFichierListBox()
{
    for (const auto &worker : FWorkers)
        worker->RequestStop();
    // The workers' calls into this list now return at once without running,
    // so waiting for the workers here cannot lock against them.
    FCalls.Close();
    for (const auto &worker : FWorkers)
        worker->Wait();
}

TFichierListBox::TItem *TFichierListBox::ItemAt(int index) const
{
    return static_cast<TItem *>(item(index));
}

TAbstractListFichier *TFichierListBox::Record(int index) const
{
    const TItem *it = ItemAt(index);
    return it ? it->Record.get() : nullptr;
}

void TFichierListBox::SetAcceptFiles(bool accept)
{
    // Drops arrive at the viewport, which hands them on to the list.
    setAcceptDrops(accept);
    viewport()->setAcceptDrops(accept);
}

TlfCLass TFichierListBox::RecordClass() const
{
    std::lock_guard lock(FRecordClassMutex);
    return FRecordClass;
}

void TFichierListBox::SetRecordClass(const TlfCLass &recordClass)
{
    std::lock_guard lock(FRecordClassMutex);
    FRecordClass = recordClass;
}

int TFichierListBox::SelectedCount() const
{
    int selected = 0;
    for (const QItemSelectionRange &range : selectionModel()->selection())
        selected += range.height();
    return selected;
}

QStringList TFichierListBox::SelectedPaths() const
{
    QStringList paths;
    for (int i = 0; i < count(); ++i) {
        if (item(i)->isSelected())
            paths.append(Record(i)->FullPath());
    }
    return paths;
}

void TFichierListBox::SetCurrentRow(int row)
{
    const QModelIndex index = row < 0 ? QModelIndex() : model()->index(row, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
}

QString TFichierListBox::CountsHint(int selected, int total) const
{
    const QString plural = selected > 1 ? QStringLiteral("s") : QString();
    return QString::number(selected) + QStringLiteral(" fichier") + plural + QStringLiteral(" sélectionné")
           + plural + QStringLiteral(" sur ") + QString::number(total) + QStringLiteral("\r\n");
}

void TFichierListBox::AddFile(std::unique_ptr<TAbstractListFichier> record, bool select)
{
    ListRecord(std::move(record), select);
}

std::unique_ptr<TAbstractListFichier>
TFichierListBox::ListRecord(std::unique_ptr<TAbstractListFichier> record, bool select)
{
    if (!record)
        return nullptr;
    if (BeforeLister && !BeforeLister(record.get()))
        return record;
    bool added = false;
    const int index = FKeys.Add(record->GetSortKey(FSortIndex), &added);
    if (added) {
        auto *it = new TItem(std::move(record));
        it->ShowReadable();
        InsertRow(index, it);
        if (select)
            it->setSelected(true);
    } else {
        // The same file opened again: the newer record takes the place of
        // the older one; text, selection and current item stay.
        Retire(std::exchange(ItemAt(index)->Record, std::move(record)));
        ItemAt(index)->ShowReadable();
    }
    if (count() == 1)
        SetActive(0);
    UpdateCounts();
    return nullptr;
}

void TFichierListBox::Retire(std::unique_ptr<TAbstractListFichier> record)
{
    // The active record may still be shown by the preview until the next
    // OnActiveChange has been handled.
    if (record && record.get() == Active())
        FRetired.push_back(std::move(record));
}

void TFichierListBox::ReleaseRetired()
{
    std::erase_if(FRetired, [this](const auto &record) { return record.get() != Active(); });
}

void TFichierListBox::ClearFiles()
{
    SetCurrentRow(-1);
    for (int i = count() - 1; i >= 0; --i)
        delete takeItem(i);
    FKeys.Clear();
    SetActive(-1);
}

void TFichierListBox::SortBy(const TSortIndex &sortIndex)
{
    FSortIndex = sortIndex;
    if (count() == 0)
        return;
    std::vector<TAbstractListFichier *> selected;
    for (int i = 0; i < count(); ++i) {
        if (item(i)->isSelected())
            selected.push_back(Record(i));
    }
    TAbstractListFichier *current = currentRow() >= 0 ? Record(currentRow()) : nullptr;

    Resort();

    QHash<const TAbstractListFichier *, int> rows;
    rows.reserve(count());
    for (int i = 0; i < count(); ++i)
        rows.insert(Record(i), i);
    if (current)
        SetActive(rows.value(current, -1));
    for (TAbstractListFichier *record : selected) {
        const int row = rows.value(record, -1);
        if (row >= 0)
            item(row)->setSelected(true);
    }
    viewport()->update();
    if (OnCountsChange)
        OnCountsChange(SelectedCount(), count());
}

void TFichierListBox::Resort()
{
    const TAbstractListFichier *current = currentRow() >= 0 ? Record(currentRow()) : nullptr;
    QStringList keys;
    keys.reserve(count());
    for (int i = 0; i < count(); ++i)
        keys.append(Record(i)->GetSortKey(FSortIndex));
    const std::vector<int> kept = FKeys.Assign(keys);
    for (int i = 0; i < count(); ++i)
        ItemAt(i)->Rank = -1;
    for (std::size_t rank = 0; rank < kept.size(); ++rank)
        ItemAt(kept[rank])->Rank = int(rank);
    // A record whose key a later record took goes as in AddFile.
    for (int i = count() - 1; i >= 0; --i) {
        if (ItemAt(i)->Rank < 0) {
            std::unique_ptr<TItem> it(static_cast<TItem *>(takeItem(i)));
            Retire(std::move(it->Record));
        }
    }
    // One move of every item to its rank; the current and selected items
    // follow their records.
    sortItems(Qt::AscendingOrder);
    SetActive(current ? currentRow() : -1);
}

void TFichierListBox::DeleteSelected()
{
    int lowest = -1;
    for (int i = count() - 1; i >= 0; --i) {
        if (!item(i)->isSelected())
            continue;
        std::unique_ptr<TItem> it(static_cast<TItem *>(takeItem(i)));
        FKeys.Delete(i);
        Retire(std::move(it->Record));
        lowest = i;
    }
    ActivateAfterRemoval(lowest);
}

void TFichierListBox::OpenFiles(const QStringList &paths)
{
    StartOpening(okFiles, paths);
}

void TFichierListBox::OpenFolder(const QString &folder)
{
    StartOpening(okFolder, {folder});
}

void TFichierListBox::PasteFiles()
{
    // The clipboard belongs to this thread: its file list is taken here.
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    StartOpening(okPaste, data ? MimeDataFiles(*data) : QStringList());
}

void TFichierListBox::DropFiles(const QStringList &paths)
{
    StartOpening(okDroppedFiles, paths);
}

void TFichierListBox::StartOpening(TOpenKind kind, const QStringList &paths)
{
    FWorkers.push_back(std::make_unique<TThreadOpen>(kind, static_cast<TOpenList &>(*this), paths));
    FWorkers.back()->Start();
}

bool TFichierListBox::Busy() const
{
    return std::any_of(FWorkers.begin(), FWorkers.end(), [](const auto &w) { return w->Running(); });
}

void TFichierListBox::ReleaseWorker(std::thread::id thread)
{
    const auto it = std::find_if(FWorkers.begin(), FWorkers.end(),
                                 [thread](const auto &w) { return w->ThreadId() == thread; });
    if (it == FWorkers.end())
        return;
    FWorkers.erase(it);  // waits for the thread, which is ending
}

void TFichierListBox::StopOpening()
{
    for (const auto &worker : FWorkers)
        worker->RequestStop();
    try {
        // The workers' calls into this thread arrive as events: handling
        // them is what lets them reach their end.
        while (Busy())
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    } catch (const std::exception &e) {
        qCWarning(lcClips) << "waiting for the openings to stop ended early:" << e.what();
    } catch (...) {
        qCWarning(lcClips) << "waiting for the openings to stop ended early on an unknown exception";
    }
}

bool TFichierListBox::OpenTestExtension(const QString &fileName)
{
    return !OnOpenTestExtension || OnOpenTestExtension(fileName);
}

TlfCLass TFichierListBox::OpenRecordClass(const QString &ext)
{
    if (OnCreateFichier)
        SetRecordClass(OnCreateFichier(ext));
    return RecordClass();
}

void TFichierListBox::SyncOpenStart()
{
    FCalls.Call([this] {
        if (OnOpenStart)
            OnOpenStart();
    });
}

void TFichierListBox::SyncFolderFound(const QString &folder)
{
    FCalls.Call([this, &folder] {
        if (OnOpenFolderFound)
            OnOpenFolderFound(folder);
    });
}

void TFichierListBox::SyncFileFound(const QString &folder, std::unique_ptr<TSRFichier> record)
{
    FCalls.Call([this, &folder, &record] {
        TAbstractListFichier *found = record.get();
        // A record refused by BeforeLister lives until its announcement is done.
        const std::unique_ptr<TAbstractListFichier> refused =
            ListRecord(std::move(record), SelectionnerOuverts);
        if (OnOpenFileFound)
            OnOpenFileFound(folder, found);
    });
}

void TFichierListBox::SyncOpenEnd(int nb)
{
    const std::thread::id thread = std::this_thread::get_id();
    FCalls.Call([this, nb, thread] {
        // The worker ends once this call returns: it is released from the
        // event loop after that.
        QMetaObject::invokeMethod(
            this, [this, thread] { ReleaseWorker(thread); }, Qt::QueuedConnection);
        if (OnOpenEnd)
            OnOpenEnd(nb);
    });
}

bool TFichierListBox::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip && !ShowHint)
        return true;
    return TActiveListBox::event(event);
}

// An item's own hint shows over it even where the list's counts hint is
// not shown.
bool TFichierListBox::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip && !ShowHint) {
        const QListWidgetItem *over = itemAt(static_cast<QHelpEvent *>(event)->pos());
        if (!over || !over->data(Qt::ToolTipRole).isValid())
            return true;
    }
    return TActiveListBox::viewportEvent(event);
}

void TFichierListBox::mousePressEvent(QMouseEvent *event)
{
    FPressPoint = event->position().toPoint();
    FDragRequested = false;
    TActiveListBox::mousePressEvent(event);
}

void TFichierListBox::mouseMoveEvent(QMouseEvent *event)
{
    TActiveListBox::mouseMoveEvent(event);
    if (FDragRequested || !(event->buttons() & (Qt::LeftButton | Qt::RightButton)))
        return;
    const QPoint moved = event->position().toPoint() - FPressPoint;
    if (std::abs(moved.x()) < kDragDistance && std::abs(moved.y()) < kDragDistance)
        return;
    FDragRequested = true;
    emit DragStartRequested();
}

void TFichierListBox::dragEnterEvent(QDragEnterEvent *event)
{
    if (!MimeDataFiles(*event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TFichierListBox::dragMoveEvent(QDragMoveEvent *event)
{
    if (!MimeDataFiles(*event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TFichierListBox::dropEvent(QDropEvent *event)
{
    const QStringList files = MimeDataFiles(*event->mimeData());
    if (files.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    DropFiles(files);
}
