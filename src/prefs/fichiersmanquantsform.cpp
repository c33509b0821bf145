#include "src/prefs/fichiersmanquantsform.h"

#include "src/prefs/missingtools.h"
#include "src/widgets/linkedit.h"

#include <QPushButton>

TFichiersManquantsForm::TFichiersManquantsForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FichiersManquantsForm"));
    setWindowTitle(QStringLiteral("Fichiers manquants"));
    setFixedSize(476, 196);

    LinkEdit1 = NewMessagePanel(this, "LinkEdit1", QRect(8, 8, 460, 136), Qt::AlignHCenter);

    IgnoreBtn = new QPushButton(QStringLiteral("Ignorer"), this);
    IgnoreBtn->setObjectName(QStringLiteral("IgnoreBtn"));
    IgnoreBtn->setGeometry(140, 154, 92, 32);
    CancelBtn = new QPushButton(QStringLiteral("Quitter"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(244, 154, 92, 32);
    connect(IgnoreBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

bool TFichiersManquantsForm::ConfirmMissing()
{
    QString list;
    int count = 0;
    GetMissingTools(Settings, list, count);
    LinkEdit1->SetRichText(ConfirmMissingText(list, count));
    return exec() == QDialog::Accepted;
}
