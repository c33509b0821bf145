#include "src/widgets/activelistbox.h"

#include <QKeyEvent>
#include <QMouseEvent>

TActiveListBox::TActiveListBox(QWidget *parent) : QListWidget(parent)
{ }

void TActiveListBox::SetActive(int index)
{
    if (index < -1 || index >= count())
        return;
    SetCurrentRow(index);
    if (index >= 0)
        item(index)->setSelected(true);
    CheckActive();
    UpdateCounts();
}

void TActiveListBox::CheckActive()
{
    const int current = currentRow();
    if (current < 0 || current >= count()) {
        SetCurrentRow(-1);
        FollowActive(-1);
        return;
    }
    FollowActive(current);
    // The announcement may have changed the list: select what is current now.
    if (QListWidgetItem *now = currentItem())
        now->setSelected(true);
}

void TActiveListBox::UpdateCounts()
{
    const int total = count();
    const int selected = CountedSelection();
    if (total != FLastCount || selected != FLastSelCount) {
        FLastCount = total;
        FLastSelCount = selected;
        setToolTip(CountsHint(selected, total));
    }
    if (OnCountsChange)
        OnCountsChange(selected, total);
}

void TActiveListBox::InsertRow(int index, QListWidgetItem *item)
{
    const int current = currentRow();
    insertItem(index, item);
    const int shifted = current >= 0 && index <= current ? current + 1 : current;
    if (currentRow() != shifted)
        SetCurrentRow(shifted);
}

void TActiveListBox::ActivateAfterRemoval(int lowest)
{
    if (count() == 0)
        SetActive(-1);
    else
        SetActive(lowest > 0 ? lowest - 1 : 0);
}

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
