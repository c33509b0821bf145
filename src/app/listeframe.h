// The clip list page: the row of page buttons, the clip list with its
// counts line, and the place of the preview on the right.
#pragma once

#include "clips/listfichier.h"

#include <QFrame>

class QLabel;
class QToolButton;
class TFichierListBox;

class TListeFrame : public QFrame
{
    Q_OBJECT
public:
    // makeDevice: how each clip's media device is made (probing the file
    // when none is given).
    explicit TListeFrame(QWidget *parent = nullptr, const TDeviceFactory &makeDevice = {});

    QFrame *Bevel1;
    QToolButton *FichiersBtn, *DossierBtn, *ViderBtn, *OptionsBtn, *AproposBtn, *QuitterBtn;
    TFichierListBox *lb;
    QLabel *labCount;
    QToolButton *DisquesBtn;

    // The list accepts a file when its extension, folded to lower case, is
    // ".m2ts". Runs on the opening worker: looks at the name only.
    static bool lbOpenTestExtension(const QString &wfilename);
    // The counts line for count clips whose total duration reads
    // durationText ("" under one second).
    static QString CountsLine(int count, const QString &durationText);
    // Shows the number of clips and their total duration under the list.
    void lbCountsChange(int iselcount, int icount);
};
