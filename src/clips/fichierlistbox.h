// The clip list: a multi-selection list of clip records kept in the order
// of a sort index, each shown by its file name. It owns its records,
// announces the current record and the counts, deletes the selected items
// on the Delete key, and opens chosen files, folders, pasted and dropped
// files on opening workers that hand it the records they create.
#pragma once

#include "src/clips/listfichier.h"
#include "src/clips/sortedkeys.h"
#include "src/clips/synccalls.h"
#include "src/clips/threadopen.h"
#include "src/widgets/activelistbox.h"

#include <QPoint>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class TDropFileSourceW;

class TFichierListBox : public TActiveEntryListBox<TAbstractListFichier>, private TOpenList
{
    Q_OBJECT
public:
    using TOpenStartEvent = std::function<void()>;
    using TOpenEndEvent = std::function<void(int nb)>;
    using TFolderFoundEvent = std::function<void(const QString &wfolder)>;
    using TfileFoundEvent = std::function<void(const QString &wfolder, TAbstractListFichier *sf)>;
    using TTestExtensionEvent = std::function<bool(const QString &wfilename)>;
    using TBeforeListerEvent = std::function<bool(TAbstractListFichier *bf)>;
    using TCreateFichierEvent = std::function<TlfCLass(const QString &ext)>;

    // Distance in pixels, either way, that the pointer moves with a button
    // held before the selected files are dragged out.
    static constexpr int kDragDistance = 10;

    explicit TFichierListBox(QWidget *parent = nullptr);
    // Stops the openings still running and waits for their workers.
    ~TFichierListBox() override;

    // Events, on the list's thread unless said otherwise; none is required.
    TOpenStartEvent OnOpenStart;
    TOpenEndEvent OnOpenEnd;
    TFolderFoundEvent OnOpenFolderFound;
    TfileFoundEvent OnOpenFileFound;
    // Raised on the opening worker's thread: it must not touch the user
    // interface. Set both before the first opening.
    TTestExtensionEvent OnOpenTestExtension;
    TCreateFichierEvent OnCreateFichier;
    TBeforeListerEvent BeforeLister;

    // Items added by an opening are selected.
    bool SelectionnerOuverts = false;
    // The hint (tooltip) giving the selected and total counts is shown.
    bool ShowHint = true;
    // Kept with the list; nothing depends on them.
    QString PreferredFolder;
    QString PreferredPlayList;

    // Files dropped from other programs onto the list open as dropped files.
    bool AcceptFiles() const { return acceptDrops(); }
    void SetAcceptFiles(bool accept);

    const TSortIndex &SortIndex() const { return FSortIndex; }
    const TSortedKeys &Keys() const { return FKeys; }
    // The class of record made for each accepted file; none at first.
    TlfCLass RecordClass() const;
    void SetRecordClass(const TlfCLass &recordClass);
    // True while any opening worker runs.
    bool Busy() const;

    // The record of item index.
    TAbstractListFichier *Record(int index) const;
    int SelectedCount() const;
    // The full paths of the selected items in list order: what dragging
    // them out hands over.
    QStringList SelectedPaths() const;
    // Drags the selected files out (started by DragStartRequested); the
    // paths are given to it when the drop happens.
    TDropFileSourceW *DragSource() const { return FDragSource; }

    // Lists record in key order, or puts it in the place of the record of
    // an equal key (the same file opened again).
    void AddFile(std::unique_ptr<TAbstractListFichier> record, bool select);
    void ClearFiles();
    void SortBy(const TSortIndex &sortIndex);
    void DeleteSelected() override;

    // Each starts an opening worker and returns at once; the paths are
    // copied.
    void OpenFiles(const QStringList &paths);
    void OpenFolder(const QString &folder);
    // Opens the files of the clipboard's file list, with their subfolders.
    void PasteFiles();
    // Opens dropped paths with their subfolders; a ".txt" path is read as
    // a list of paths and masks.
    void DropFiles(const QStringList &paths);
    // Asks every running opening to stop and waits, handling events, until
    // none is busy.
    void StopOpening();

signals:
    // The pointer moved far enough with a button held to drag the selected
    // files out.
    void DragStartRequested();

protected:
    // Other selected items stay selected.
    void SetCurrentRow(int row) override;
    TAbstractListFichier *RowEntry(int row) const override { return Record(row); }
    // Records taken out while active are released once another is announced.
    void ActiveAnnounced() override { ReleaseRetired(); }
    int CountedSelection() const override { return SelectedCount(); }
    QString CountsHint(int selected, int total) const override;

    bool event(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    // The view's own drag (of its items) is not used: the files are
    // dragged by DragSource.
    void startDrag(Qt::DropActions) override { }
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    class TItem;

    TItem *ItemAt(int index) const;
    // Lists record like AddFile; gives it back when BeforeLister refuses it.
    std::unique_ptr<TAbstractListFichier> ListRecord(std::unique_ptr<TAbstractListFichier> record,
                                                     bool select);
    void StartOpening(TOpenKind kind, const QStringList &paths);
    // Waits for the worker of that thread, which has made its end call,
    // and releases it.
    void ReleaseWorker(std::thread::id thread);
    void Resort();
    // Destroys record now, or once the next OnActiveChange has moved its
    // users off it when it is the active one.
    void Retire(std::unique_ptr<TAbstractListFichier> record);
    void ReleaseRetired();

    // TOpenList, for the workers.
    bool OpenTestExtension(const QString &fileName) override;
    TlfCLass OpenRecordClass(const QString &ext) override;
    void SyncOpenStart() override;
    void SyncFolderFound(const QString &folder) override;
    void SyncFileFound(const QString &folder, std::unique_ptr<TSRFichier> record) override;
    void SyncOpenEnd(int nb) override;

    TSortedKeys FKeys;
    TSortIndex FSortIndex;
    mutable std::mutex FRecordClassMutex;
    TlfCLass FRecordClass;
    TDropFileSourceW *FDragSource;
    QPoint FPressPoint;
    bool FDragRequested = false;
    // Records taken out of the list while still active.
    std::vector<std::unique_ptr<TAbstractListFichier>> FRetired;

    TSyncCalls FCalls;
    // Workers not yet released.
    std::vector<std::unique_ptr<TThreadOpen>> FWorkers;
};
