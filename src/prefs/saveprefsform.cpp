#include "src/prefs/saveprefsform.h"

#include "src/widgets/linkedit.h"
#include "src/widgets/themeicon.h"

#include <QPushButton>

namespace {

const QString Question = QStringLiteral(
    "<br><size 10><i>Voulez-vous enregistrer vos préférences pour pouvoir les retrouver au prochain "
    "lancement?"
    "<br><br>Cliquez sur votre choix:</i><br><br>"
    "* soit pour les enregistrer dans le registre (mode normal).<br>"
    "* soit pour les enregistrer dans un fichier ini (mode portable).<br>"
    "* soit pour ne pas les enregistrer. Dans ce cas, elles seront perdues et les valeurs par défaut seront "
    "chargées lors du prochain lancement.<br></size>");

}  // namespace

TSavePrefsForm::TSavePrefsForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SavePrefsForm"));
    setWindowTitle(QStringLiteral("Enregistrement des préférences de %1").arg(QStringLiteral("Tavrel")));
    setFixedSize(448, 293);

    LinkEdit1 = new TLinkEdit(this);
    LinkEdit1->setObjectName(QStringLiteral("LinkEdit1"));
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(16);
    LinkEdit1->setFont(arial);
    LinkEdit1->ReadAsLabel();
    LinkEdit1->setGeometry(36, 16, 377, 201);
    LinkEdit1->SetRichText(Question);

    NormalBtn = NewChoiceButton("NormalBtn", QStringLiteral("Normal"), "document-save",
                                QStringLiteral("Enregistre les préférences dans le registre.\r\n"
                                               "Si un fichier ini existait, il est supprimé."),
                                54, pmNormal);
    BitBtn2 = NewChoiceButton("BitBtn2", QStringLiteral("Portable"), "drive-removable-media",
                              QStringLiteral("Enregistre les préférences dans un fichier ini.\r\n"
                                             "Efface les valeurs contenues dans le registre."),
                              170, pmPortable);
    BitBtn3 =
        NewChoiceButton("BitBtn3", QStringLiteral("Aucun"), "edit-delete",
                        QStringLiteral("Quitte sans enregistrer les préférences.\r\n"
                                       "Si elles existaient dans un fichier ini ou dans le registre,\r\n"
                                       "elles sont effacées."),
                        286, pmNone);
}

QPushButton *TSavePrefsForm::NewChoiceButton(const char *name, const QString &caption, const char *icon,
                                             const QString &hint, int x, TPrefsMode choice)
{
    auto *button = new QPushButton(ThemeIcon(QString::fromLatin1(icon)), caption, this);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(x, 236, 108, 38);
    button->setToolTip(QString(hint).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    connect(button, &QPushButton::clicked, this, [this, choice] {
        FChoice = choice;
        accept();
    });
    return button;
}

bool TSavePrefsForm::Execute(TPrefsMode &mode)
{
    if (exec() != QDialog::Accepted)
        return false;
    mode = FChoice;
    return true;
}
