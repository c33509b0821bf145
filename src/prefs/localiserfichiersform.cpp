#include "src/prefs/localiserfichiersform.h"

#include "src/prefs/localiserfichiersframe.h"
#include "src/prefs/missingtools.h"
#include "src/widgets/linkedit.h"

#include <QPushButton>

TLocaliserFichiersForm::TLocaliserFichiersForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("LocaliserFichiersForm"));
    setWindowTitle(QStringLiteral("Localiser les fichiers"));
    setFixedSize(476, 262);

    LinkEdit1 = NewMessagePanel(this, "LinkEdit1", QRect(8, 8, 460, 60), Qt::AlignHCenter);

    LocaliserFichiersFrame = new TLocaliserFichiersFrame(this);
    LocaliserFichiersFrame->move(8, 72);
    // The text follows what is found while the dialog is open.
    LocaliserFichiersFrame->OnToolFileShown = [this] {
        if (isVisible())
            ShowMissing();
    };

    QuitterBtn = new QPushButton(QStringLiteral("Terminé"), this);
    QuitterBtn->setObjectName(QStringLiteral("QuitterBtn"));
    QuitterBtn->setGeometry(376, 220, 92, 32);
    connect(QuitterBtn, &QPushButton::clicked, this, &TLocaliserFichiersForm::reject);
}

bool TLocaliserFichiersForm::Localiser()
{
    if (ShowMissing() == 0)
        return true;
    exec();
    return ShowMissing() == 0;
}

int TLocaliserFichiersForm::ShowMissing()
{
    QString list;
    int count = 0;
    GetMissingTools(Settings, list, count);
    LinkEdit1->SetRichText(LocaliserText(list, count));
    return count;
}

void TLocaliserFichiersForm::reject()
{
    LocaliserFichiersFrame->dirscan.Stop();
    QDialog::reject();
}
