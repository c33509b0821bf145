// The start-up dialog that says which outside tools are missing and holds
// a locator panel to find them.
#pragma once

#include <QDialog>

class QPushButton;
class TLinkEdit;
class TLocaliserFichiersFrame;

class TLocaliserFichiersForm : public QDialog
{
    Q_OBJECT
public:
    explicit TLocaliserFichiersForm(QWidget *parent = nullptr);

    TLinkEdit *LinkEdit1;
    TLocaliserFichiersFrame *LocaliserFichiersFrame;
    QPushButton *QuitterBtn;

    // True when no tool is missing: at once without showing anything, or
    // once the dialog, shown while some are missing, has been closed.
    bool Localiser();

    // "Terminé", Escape and the close box: the search under way stops and
    // the dialog closes.
    void reject() override;

private:
    // Shows which tools are missing (or that none is); returns how many.
    int ShowMissing();
};
