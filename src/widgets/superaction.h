// Actions with a prepare step and two-state toggles, on top of QAction.
//
// A super action runs its prepare step (a dialog, a folder choice) before its
// handler; the step leaves what it gathered in ActionParams and may cancel
// the execution by clearing ActionProceed. A toggle action follows its
// checked state with its caption, hint, image and handler.
#pragma once

#include "src/widgets/imagelist.h"

#include <QAction>
#include <QStringList>

#include <functional>

// Shared by every super action; reset at each execution, which holds
// because executions never overlap (all run on the UI thread).
extern QStringList ActionParams;
extern bool ActionProceed;

class TCustomSuperAction : public QAction
{
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(TCustomSuperAction *sender)>;
    using TImageChangedEvent = std::function<void(TImageList *imglist, int imageindex)>;

    explicit TCustomSuperAction(QObject *parent = nullptr);

    // Runs the action as a bound button, menu entry or shortcut does.
    // Returns whether the execution was handled (false when disabled).
    virtual bool Execute();

    QString Caption() const { return text(); }
    void SetCaption(const QString &caption) { setText(caption); }
    // The hint exactly as given (line breaks CR LF); tooltips show it with
    // plain line feeds.
    QString Hint() const { return FHint; }
    void SetHint(const QString &hint);
    // The category the action is filed under in its action list.
    QString Category() const { return FCategory; }
    void SetCategory(const QString &category) { FCategory = category; }
    // The action's own shortcut, whether or not an earlier action of the
    // same list claims the key (see TActionList, which hears of every
    // change through shortCutChanged and may take the key back).
    QKeySequence ShortCut() const { return FShortcut; }
    void SetShortCut(const QKeySequence &shortcut);

    bool AutoCheck() const { return FAutoCheck; }
    void SetAutoCheck(bool autoCheck) { FAutoCheck = autoCheck; }
    bool Checked() const { return FChecked; }
    virtual void SetChecked(bool checked);

    int imageindex() const { return FImageIndex; }
    void Setimageindex(int index);

    TNotifyEvent Onprepare;
    TImageChangedEvent OnImageChanged;

public slots:
    // The image list the image index points into (the action list's).
    void SetImages(TImageList *images);

signals:
    void checkedChanged(bool checked);
    void shortCutChanged();

protected:
    // The handler called by Execute once the prepare step let it proceed.
    TNotifyEvent FHandler;

private:
    void SetCheckedFlag(bool checked);
    void ApplyIcon();

    QString FHint;
    QString FCategory;
    QKeySequence FShortcut;
    bool FAutoCheck = false;
    bool FChecked = false;
    int FImageIndex = -1;
    TImageList *FImages = nullptr;
};

class TSuperAction : public TCustomSuperAction
{
    Q_OBJECT
public:
    explicit TSuperAction(QObject *parent = nullptr) : TCustomSuperAction(parent) { }

    void SetOnexecute(TNotifyEvent onexecute) { FHandler = std::move(onexecute); }
};

class TtoggleAction : public TCustomSuperAction
{
    Q_OBJECT
public:
    explicit TtoggleAction(QObject *parent = nullptr) : TCustomSuperAction(parent) { }

    // Lines the caption, hint, image and handler up with checked, then
    // sets the flag.
    void SetChecked(bool checked) override;
    bool Execute() override;

    QString TrueCaption, FalseCaption;
    QString TrueHint, FalseHint;
    int TrueImageIndex = -1, FalseImageIndex = -1;
    TNotifyEvent OnTrueExecute, OnfalseExecute;
};
