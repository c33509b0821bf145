// The main window's side of the disc page: the page in its place, its
// buttons bound to the actions, the split and the processing actions.
#include "src/app/form1.h"

#include "src/app/listeframe.h"
#include "src/authoring/abort.h"
#include "src/authoring/disquesframe.h"
#include "src/authoring/split.h"
#include "src/clips/fichierlistbox.h"
#include "src/widgets/superaction.h"

#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>

TDisquesframe *TForm1::CreateDiscPage()
{
    auto *page = new TDisquesframe(this);
    page->setGeometry(-800, 0, 684, 498);
    // Each page paints its own background over the one behind it.
    page->setAutoFillBackground(true);
    return page;
}

void TForm1::BindDiscPage()
{
    TDisquesframe *page = Disquesframe;
    page->OnShowStatus = [this](const QString &text, TStatusKind kind) { ShowStatus(text, kind); };
    ShowSplitMessage = [this](const QString &text) {
        QMessageBox box(QMessageBox::NoIcon, windowTitle(), text, QMessageBox::Ok, this);
        box.exec();
    };
    ConfirmStopBurn = [this](const QString &question) {
        QMessageBox box(QMessageBox::Warning, windowTitle(), question, QMessageBox::NoButton, this);
        QPushButton *stop = box.addButton(QStringLiteral("Interrompre"), QMessageBox::AcceptRole);
        box.setDefaultButton(box.addButton(QStringLiteral("Continuer la gravure"), QMessageBox::RejectRole));
        box.exec();
        return box.clickedButton() == stop;
    };

    page->parentFichiersBtn->setDefaultAction(saParentFichiersM2ts);
    page->parentAVCHDBtn->setDefaultAction(saParentAVCHD);
    page->ListeBtn->setDefaultAction(saListe);
    page->OptionsBtn->setDefaultAction(taOptions);
    page->AproposBtn->setDefaultAction(taApropos);
    page->QuitterBtn->setDefaultAction(saQuitter);
    page->DisqueActuelBtn->setDefaultAction(saDisqueActuel);
    page->TousDisquesBtn->setDefaultAction(saTousDisques);
    page->GraverBtn->setDefaultAction(saGraver);
    page->AnnulerBtn->setDefaultAction(saAbort);
    // Bound buttons take their action's state: the page's own state again.
    page->ClearDiscDetails();

    TDiscProcessor &processor = page->Processor;
    saDisqueActuel->SetOnexecute([&processor](TCustomSuperAction *) { processor.saDisqueActuelexecute(); });
    saTousDisques->SetOnexecute([&processor](TCustomSuperAction *) { processor.saTousDisquesexecute(); });
    saGraver->SetOnexecute([&processor](TCustomSuperAction *) { processor.saGraverexecute(); });
}

void TForm1::SplitIntoDiscs()
{
    const TFichierListBox *lb = ListeFrame->lb;
    QList<const Tm2tsFichier *> clips;
    clips.reserve(lb->count());
    for (int i = 0; i < lb->count(); ++i)
        if (const auto *clip = dynamic_cast<const Tm2tsFichier *>(lb->Record(i)))
            clips << clip;
    const TSplitResult split = SplitClipsIntoDiscs(clips, Settings.TailleDisque);
    Disquesframe->ShowDiscs(split.Discs);
    if (!split.Message.isEmpty() && ShowSplitMessage)
        ShowSplitMessage(split.Message);
}
