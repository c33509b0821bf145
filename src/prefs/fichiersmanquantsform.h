// The start-up dialog shown when tools are still missing after the locate
// dialog: go on without them ("Ignorer") or leave ("Quitter").
#pragma once

#include <QDialog>

class QPushButton;
class TLinkEdit;

class TFichiersManquantsForm : public QDialog
{
    Q_OBJECT
public:
    explicit TFichiersManquantsForm(QWidget *parent = nullptr);

    TLinkEdit *LinkEdit1;
    QPushButton *IgnoreBtn, *CancelBtn;

    // Tells which tools are still missing; true only when the user chose
    // "Ignorer" ("Quitter" and the close box give false).
    bool ConfirmMissing();
};
