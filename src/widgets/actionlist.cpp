#include "widgets/actionlist.h"

#include "widgets/superaction.h"

#include <QSet>

void TActionList::Add(TCustomSuperAction *action)
{
    actions_.append(action);
    action->list_ = this;
    action->ApplyIcon();
    AssignShortcuts();
}

void TActionList::SetImages(TImageList *images)
{
    images_ = images;
    for (TCustomSuperAction *action : actions_)
        action->ApplyIcon();
}

void TActionList::AssignShortcuts()
{
    QSet<QKeySequence> claimed;
    for (TCustomSuperAction *action : actions_) {
        const QKeySequence key = action->ShortCut();
        if (key.isEmpty() || claimed.contains(key)) {
            action->setShortcut(QKeySequence());
            continue;
        }
        claimed.insert(key);
        action->setShortcut(key);
    }
}
