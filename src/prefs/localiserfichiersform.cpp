#include "prefs/localiserfichiersform.h"

#include "prefs/localiserfichiersframe.h"
#include "prefs/missingtools.h"
#include "widgets/linkedit.h"

#include <QPushButton>

TLocaliserFichiersForm::TLocaliserFichiersForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("LocaliserFichiersForm"));
    setWindowTitle(QStringLiteral("Localiser les fichiers"));
    setFixedSize(476, 262);

    LinkEdit1 = NewMessagePanel(this, "LinkEdit1", QRect(8, 8, 460, 60), Qt::AlignHCenter);

    LocaliserFichiersFrame = new TLocaliserFichiersFrame(this);
    LocaliserFichiersFrame->move(8, 72);

    QuitterBtn = new QPushButton(QStringLiteral("Terminé"), this);
    QuitterBtn->setObjectName(QStringLiteral("QuitterBtn"));
    QuitterBtn->setGeometry(376, 220, 92, 32);
    connect(QuitterBtn, &QPushButton::clicked, this, &TLocaliserFichiersForm::reject);
}

bool TLocaliserFichiersForm::Localiser()
{
    QString list;
    int count = 0;
    GetMissingTools(Settings, list, count);
    if (count == 0)
        return true;
    LinkEdit1->SetRichText(LocaliserText(list, count));
    exec();
    GetMissingTools(Settings, list, count);
    return count == 0;
}

void TLocaliserFichiersForm::reject()
{
    LocaliserFichiersFrame->dirscan.Stop();
    QDialog::reject();
}
