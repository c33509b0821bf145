#include "widgets/superaction.h"

#include "widgets/imagelist.h"

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
    if (autoCheck_)
        SetCheckedFlag(!checked_);
    // Copied first: a handler may change the handler of its own action.
    const TNotifyEvent handler = handler_;
    if (handler)
        handler(this);
    return true;
}

void TCustomSuperAction::SetHint(const QString &hint)
{
    hint_ = hint;
    QString shown = hint;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    setToolTip(shown);
    setStatusTip(shown);
}

void TCustomSuperAction::SetShortCut(const QKeySequence &shortcut)
{
    shortcut_ = shortcut;
    setShortcut(shortcut);
    emit shortCutChanged();
}

void TCustomSuperAction::SetChecked(bool checked)
{
    SetCheckedFlag(checked);
}

void TCustomSuperAction::SetCheckedFlag(bool checked)
{
    if (checked_ == checked)
        return;
    checked_ = checked;
    emit checkedChanged(checked);
}

void TCustomSuperAction::Setimageindex(int index)
{
    if (index == imageIndex_)
        return;
    imageIndex_ = index;
    ApplyIcon();
    if (OnImageChanged)
        OnImageChanged(images_, index);
}

void TCustomSuperAction::SetImages(TImageList *images)
{
    images_ = images;
    ApplyIcon();
}

void TCustomSuperAction::ApplyIcon()
{
    setIcon(images_ ? images_->Icon(imageIndex_) : QIcon());
}

void TtoggleAction::SetChecked(bool checked)
{
    SetCaption(checked ? TrueCaption : FalseCaption);
    SetHint(checked ? TrueHint : FalseHint);
    Setimageindex(checked ? TrueImageIndex : FalseImageIndex);
    handler_ = checked ? OnTrueExecute : OnfalseExecute;
    TCustomSuperAction::SetChecked(checked);
}

bool TtoggleAction::Execute()
{
    if (!isEnabled())
        return false;
    SetChecked(Checked());
    return TCustomSuperAction::Execute();
}
