// An ordered list of super actions sharing one image list.
//
// Several actions may carry the same shortcut; a key press goes to the
// first of them in list order, so only that one is given the key in Qt
// (Qt would otherwise call the shortcut ambiguous and run none).
// The list hears of an action's new shortcut through its shortCutChanged
// signal and hands its image list to the actions through imagesChanged;
// an action knows nothing of the list it belongs to.
#pragma once

#include "src/widgets/imagelist.h"

#include <QObject>
#include <QVector>

class TCustomSuperAction;

class TActionList : public QObject
{
    Q_OBJECT
public:
    explicit TActionList(QObject *parent = nullptr) : QObject(parent) { }

    // Appends the action, which keeps its own parent, and connects it.
    void Add(TCustomSuperAction *action);
    int Count() const { return FActions.size(); }
    TCustomSuperAction *Action(int index) const { return FActions.at(index); }
    const QVector<TCustomSuperAction *> &Actions() const { return FActions; }

    TImageList *Images() const { return FImages; }
    void SetImages(TImageList *images);

public slots:
    // Gives every shortcut to the first action in list order that has it.
    void AssignShortcuts();

signals:
    void imagesChanged(TImageList *images);

private:
    QVector<TCustomSuperAction *> FActions;
    TImageList *FImages = nullptr;
};
