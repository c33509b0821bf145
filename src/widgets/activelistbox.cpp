#include "src/widgets/activelistbox.h"

#include <QKeyEvent>
#include <QMouseEvent>

TActiveListBox::TActiveListBox(QWidget *parent) : QListWidget(parent)
{ }

void TActiveListBox::mouseReleaseEvent(QMouseEvent *event)
{
    QListWidget::mouseReleaseEvent(event);
    UpdateCounts();
    CheckActive();
}

void TActiveListBox::keyReleaseEvent(QKeyEvent *event)
{
    QListWidget::keyReleaseEvent(event);
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier))
        return;
    switch (event->key()) {
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_End:
    case Qt::Key_Home:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Delete:
        if (event->key() == Qt::Key_Delete && !(modifiers & Qt::ShiftModifier) && KeyDelete)
            DeleteSelected();
        UpdateCounts();
        CheckActive();
        break;
    default: break;
    }
}
