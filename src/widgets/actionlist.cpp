#include "src/widgets/actionlist.h"

#include "src/widgets/superaction.h"

#include <QSet>

void TActionList::Add(TCustomSuperAction *action)
{
    FActions.append(action);
    connect(action, &TCustomSuperAction::shortCutChanged, this, &TActionList::AssignShortcuts);
    connect(this, &TActionList::imagesChanged, action, &TCustomSuperAction::SetImages);
    action->SetImages(FImages);
    AssignShortcuts();
}

void TActionList::SetImages(TImageList *images)
{
    FImages = images;
    emit imagesChanged(images);
}

void TActionList::AssignShortcuts()
{
    QSet<QKeySequence> claimed;
    for (TCustomSuperAction *action : FActions) {
        const QKeySequence key = action->ShortCut();
        if (key.isEmpty() || claimed.contains(key)) {
            action->setShortcut(QKeySequence());
            continue;
        }
        claimed.insert(key);
        action->setShortcut(key);
    }
}
