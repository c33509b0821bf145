// The question asked on leaving when no storage mode is in force: keep the
// preferences in the registry hive ("Normal"), in Tavrel.ini beside the
// program ("Portable"), or nowhere ("Aucun").
#pragma once

#include "src/prefs/preferences.h"

#include <QDialog>

class QPushButton;
class TLinkEdit;

class TSavePrefsForm : public QDialog
{
    Q_OBJECT
public:
    explicit TSavePrefsForm(QWidget *parent = nullptr);

    TLinkEdit *LinkEdit1;
    QPushButton *NormalBtn, *BitBtn2, *BitBtn3;

    // Shows the dialog modally. True when a button was pressed, with its
    // choice in mode; false when the dialog was closed otherwise.
    bool Execute(TPrefsMode &mode);

private:
    QPushButton *NewChoiceButton(const char *name, const QString &caption, const char *icon,
                                 const QString &hint, int x, TPrefsMode choice);

    TPrefsMode FChoice = pmNone;
};
