// Dragging files out of the program: a drag source that offers a file list
// in the formats desktop file managers read, lets the target copy only (by
// default), and asks its owner for the paths only when the drop happens
// (OnDrop), so that nothing is gathered for a drag that is cancelled.
#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QWidget;

// The drop effects; the bits are the platform's copy (1), move (2) and
// link (4) effects.
enum TDragType { dtCopy = Qt::CopyAction, dtMove = Qt::MoveAction, dtLink = Qt::LinkAction };
using TDragTypes = Qt::DropActions;

enum TDragResult { drDropCopy, drDropMove, drDropLink, drCancel };

// The MIME names of the blocks of the other desktop family's shell drag
// protocol (dropblocks.h), offered beside the desktop's file lists.
inline constexpr char kDropFilesMime[] = "application/x-qt-windows-mime;value=\"CF_HDROP\"";
inline constexpr char kPreferredDropEffectMime[] =
    "application/x-qt-windows-mime;value=\"Preferred DropEffect\"";
inline constexpr char kFileNameMapMime[] = "application/x-qt-windows-mime;value=\"FileNameMap\"";
inline constexpr char kFileNameMapWMime[] = "application/x-qt-windows-mime;value=\"FileNameMapW\"";

class TDropSource : public QObject
{
    Q_OBJECT
public:
    using TDropEvent = std::function<void(TDropSource *sender, TDragType dragType, bool &continueDrop)>;
    using TFeedbackEvent = std::function<void(TDropSource *sender, int effect)>;

    // Most formats one source offers; more are ignored.
    static constexpr int kMaxFormats = 20;

    explicit TDropSource(QObject *parent = nullptr);

    // The drop effects allowed; copy only at creation.
    TDragTypes Dragtypes = Qt::CopyAction;
    // Raised when the button is released over a target that accepts the
    // drop with an allowed effect, before the target reads the data;
    // clearing continueDrop cancels the drop.
    TDropEvent OnDrop;
    // Raised whenever the target under the pointer changes the effect it
    // would apply.
    TFeedbackEvent OnFeedback;

    // The last effect the target reported (0 when none accepts).
    int FeedbackEffect() const { return FFeedbackEffect; }
    // True while a drag runs.
    bool Dragging() const { return FDragging; }
    // The formats offered, in the order added.
    const QStringList &Formats() const { return FFormats; }

    // Starts a drag from source (the widget under the button that is held)
    // and returns when it is over; events are handled meanwhile. Escape
    // cancels it.
    TDragResult Execute(QWidget *source);

    // The block of format, or an empty block when it cannot be given now.
    virtual QByteArray DoGetData(const QString &format) const = 0;

protected:
    void AddFormatEtc(const QString &format);
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The drop about to happen on releasing the button: false when it must
    // be cancelled.
    bool ContinueDrop();

    QStringList FFormats;
    int FFeedbackEffect = 0;
    bool FDragging = false;
    bool FInExecute = false;
    bool FEnded = false;
};

// A drag source of files: Files, filled by the owner's OnDrop handler, as
// "text/uri-list", "x-special/gnome-copied-files", the DROPFILES block and
// the preferred drop effect; MappedNames, when it has as many entries as
// Files, as the two file-name maps.
class TDropFileSourceW : public TDropSource
{
    Q_OBJECT
public:
    explicit TDropFileSourceW(QObject *parent = nullptr);

    QStringList Files;
    QStringList MappedNames;

    // Nothing while Files is empty: a target that asks while hovering gets
    // no data, since the files are given at the drop.
    QByteArray DoGetData(const QString &format) const override;
};
