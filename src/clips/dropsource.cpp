#include "src/clips/dropsource.h"

#include "src/clips/dropblocks.h"

#include <QApplication>
#include <QDrag>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

const QString UriListMime = QStringLiteral("text/uri-list");
const QString GnomeCopiedFilesMime = QStringLiteral("x-special/gnome-copied-files");

// The data of one drag: each format is rendered by the drag source when a
// target reads it. The drag owns it, the source stays with its owner.
class TDropMimeData : public QMimeData
{
public:
    explicit TDropMimeData(const TDropSource *source) : FSource(source) { }

    QStringList formats() const override { return FSource ? FSource->Formats() : QStringList(); }
    bool hasFormat(const QString &format) const override { return formats().contains(format); }

protected:
    QVariant retrieveData(const QString &format, QMetaType) const override
    {
        const QByteArray block = FSource ? FSource->DoGetData(format) : QByteArray();
        return block.isEmpty() ? QVariant() : QVariant(block);
    }

private:
    QPointer<const TDropSource> FSource;
};

// The kind of drop an effect stands for: copy first, then move, then link.
int DragKindOf(int effect)
{
    for (const int kind : {dtCopy, dtMove, dtLink})
        if (effect & kind)
            return kind;
    return 0;
}

}  // namespace

TDropSource::TDropSource(QObject *parent) : QObject(parent)
{ }

void TDropSource::AddFormatEtc(const QString &format)
{
    if (FFormats.size() < kMaxFormats)
        FFormats.append(format);
}

TDragResult TDropSource::Execute(QWidget *source)
{
    if (FInExecute)
        return drCancel;
    auto *drag = new QDrag(source);  // deleted by Qt once the drag is over
    drag->setMimeData(new TDropMimeData(this));
    FFeedbackEffect = 0;
    FEnded = false;
    FInExecute = true;
    connect(drag, &QDrag::actionChanged, this, [this](Qt::DropAction action) {
        FFeedbackEffect = int(action);
        if (OnFeedback)
            OnFeedback(this, FFeedbackEffect);
    });
    // The platform's drag watches the application's events from the start
    // of its loop; a filter installed after it sees the button release
    // before it does, which is when the drop is decided.
    QTimer::singleShot(0, drag, [this] {
        if (!FInExecute)
            return;
        qApp->installEventFilter(this);
        FDragging = true;
    });
    const Qt::DropAction action = drag->exec(Dragtypes, Qt::CopyAction);
    qApp->removeEventFilter(this);
    FDragging = false;
    FInExecute = false;
    switch (DragKindOf(int(action & Dragtypes))) {
    case dtCopy: return drDropCopy;
    case dtMove: return drDropMove;
    case dtLink: return drDropLink;
    default: return drCancel;
    }
}

bool TDropSource::ContinueDrop()
{
    const int kind = DragKindOf(FFeedbackEffect);
    if (kind == 0 || !(Dragtypes & Qt::DropAction(kind)))
        return false;
    bool continueDrop = true;
    if (OnDrop)
        OnDrop(this, TDragType(kind), continueDrop);
    return continueDrop;
}

bool TDropSource::eventFilter(QObject *, QEvent *event)
{
    if (!FDragging || FEnded)
        return false;
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        FDragging = false;  // the platform's drag cancels on Escape
        return false;
    }
    if (event->type() != QEvent::MouseButtonRelease
        || (static_cast<QMouseEvent *>(event)->buttons() & (Qt::LeftButton | Qt::RightButton)))
        return false;
    FEnded = true;
    if (DragKindOf(FFeedbackEffect) == 0)
        return false;  // no target takes the files: the platform's drag cancels
    if (ContinueDrop())
        return false;  // the platform's drag now drops
    QDrag::cancel();
    return true;
}

// --- TDropFileSourceW

TDropFileSourceW::TDropFileSourceW(QObject *parent) : TDropSource(parent)
{
    for (const QString &format :
         {UriListMime, GnomeCopiedFilesMime, QString::fromLatin1(kDropFilesMime),
          QString::fromLatin1(kPreferredDropEffectMime), QString::fromLatin1(kFileNameMapMime),
          QString::fromLatin1(kFileNameMapWMime)})
        AddFormatEtc(format);
}

QByteArray TDropFileSourceW::DoGetData(const QString &format) const
{
    if (Files.isEmpty())
        return {};
    if (format == UriListMime)
        return UriListBlock(Files);
    if (format == GnomeCopiedFilesMime)
        return GnomeCopiedFilesBlock(Files, FeedbackEffect() == dtMove);
    if (format == QLatin1String(kDropFilesMime))
        return DropFilesBlock(Files);
    if (format == QLatin1String(kPreferredDropEffectMime))
        return PreferredDropEffectBlock(std::uint32_t(FeedbackEffect()));
    const bool mapped = MappedNames.size() == Files.size();
    if (mapped && format == QLatin1String(kFileNameMapMime))
        return FileNameMapBlock(MappedNames);
    if (mapped && format == QLatin1String(kFileNameMapWMime))
        return FileNameMapWBlock(MappedNames);
    return {};
}
