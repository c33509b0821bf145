#include "src/widgets/superaction.h"

#include "src/widgets/imagelist.h"

QStringList ActionParams;
bool ActionProceed = true;

TCustomSuperAction::TCustomSuperAction(QObject *parent) : QAction(parent)
{
    // Qt's own checkable flag would flip before the prepare step could
    // cancel; the checked state is kept here instead.
    connect(this, &QAction::triggered, this, [this] { Execute(); });
}

bool TCustomSuperAction::Execute()
{
    if (!isEnabled())
        return false;
    ActionProceed = true;
    ActionParams.clear();
    if (Onprepare)
        Onprepare(this);
    if (!ActionProceed)
        return true;
    if (FAutoCheck)
        SetCheckedFlag(!FChecked);
    // Copied first: a handler may change the handler of its own action.
    const TNotifyEvent handler = FHandler;
    if (handler)
        handler(this);
    return true;
}

void TCustomSuperAction::SetHint(const QString &hint)
{
    FHint = hint;
    QString shown = hint;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    setToolTip(shown);
    setStatusTip(shown);
}

void TCustomSuperAction::SetShortCut(const QKeySequence &shortcut)
{
    FShortcut = shortcut;
    setShortcut(shortcut);
    emit shortCutChanged();
}

void TCustomSuperAction::SetChecked(bool checked)
{
    SetCheckedFlag(checked);
}

void TCustomSuperAction::SetCheckedFlag(bool checked)
{
    if (FChecked == checked)
        return;
    FChecked = checked;
    emit checkedChanged(checked);
}

void TCustomSuperAction::Setimageindex(int index)
{
    if (index == FImageIndex)
        return;
    FImageIndex = index;
    ApplyIcon();
    if (OnImageChanged)
        OnImageChanged(FImages, index);
}

void TCustomSuperAction::SetImages(TImageList *images)
{
    FImages = images;
    ApplyIcon();
}

void TCustomSuperAction::ApplyIcon()
{
    setIcon(FImages ? FImages->Icon(FImageIndex) : QIcon());
}

void TtoggleAction::SetChecked(bool checked)
{
    SetCaption(checked ? TrueCaption : FalseCaption);
    SetHint(checked ? TrueHint : FalseHint);
    Setimageindex(checked ? TrueImageIndex : FalseImageIndex);
    FHandler = checked ? OnTrueExecute : OnfalseExecute;
    TCustomSuperAction::SetChecked(checked);
}

bool TtoggleAction::Execute()
{
    if (!isEnabled())
        return false;
    SetChecked(Checked());
    return TCustomSuperAction::Execute();
}
