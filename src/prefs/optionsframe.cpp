#include "prefs/optionsframe.h"

#include "platform/foldercheck.h"
#include "platform/pathdelim.h"
#include "prefs/localiserfichiersframe.h"
#include "widgets/pagebutton.h"
#include "widgets/widedialogedit.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QToolButton>

TOptionsFrame::TOptionsFrame(const TPrefsLocation &where, QWidget *parent) : QFrame(parent), FWhere(where)
{
    Bevel1 = SetUpPage(this, "OptionsFrame");
    OptionsBtn = NewPageButton(this, "OptionsBtn", 576, 8);

    rgPrefs = new QGroupBox(QStringLiteral("Sauver les préférences en quittant"), this);
    rgPrefs->setObjectName(QStringLiteral("rgPrefs"));
    rgPrefs->setToolTip(QStringLiteral("Indiquer où les préférences seront conservées pour que vous les "
                                       "retrouviez au prochain démarrage."));
    rgPrefs->setGeometry(16, 80, 300, 100);
    rgPrefsButtons = new QButtonGroup(this);
    const QString entries[] = {QStringLiteral("Mode normal (registre)"),
                               QStringLiteral("Mode portable (clé USB)"),
                               QStringLiteral("Ne pas enregistrer en quittant")};
    for (int i = 0; i < 3; ++i) {
        auto *radio = new QRadioButton(entries[i], rgPrefs);
        radio->setGeometry(12, 22 + 24 * i, 280, 20);
        rgPrefsButtons->addButton(radio, i);
    }
    rgPrefsButtons->button(pmNormal)->setChecked(true);
    connect(rgPrefsButtons, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            rgPrefsClick();
    });

    cbDeleteMeta = new QCheckBox(QStringLiteral("Effacer le fichier meta"), this);
    cbDeleteMeta->setObjectName(QStringLiteral("cbDeleteMeta"));
    cbDeleteMeta->setGeometry(28, 196, 280, 20);
    connect(cbDeleteMeta, &QCheckBox::toggled, this, [](bool on) { Settings.DeleteMeta = on; });
    cbDeleteFlux = new QCheckBox(QStringLiteral("Effacer les flux démuxés"), this);
    cbDeleteFlux->setObjectName(QStringLiteral("cbDeleteFlux"));
    cbDeleteFlux->setGeometry(28, 222, 280, 20);
    connect(cbDeleteFlux, &QCheckBox::toggled, this, [](bool on) { Settings.DeleteFlux = on; });

    deOuvrir = NewFolderEdit("deOuvrir", QStringLiteral("Dossier pour ouvrir des fichiers"),
                             &TSettings::DossierOuvrir, 80);
    deAVCHD = NewFolderEdit("deAVCHD", QStringLiteral("Dossier pour créer les structures AVCHD"),
                            &TSettings::DossierAVCHD, 128, QStringLiteral("AVCHD"));
    deFlux = NewFolderEdit("deFlux", QStringLiteral("Dossier où stocker les Flux démuxés"),
                           &TSettings::DossierFlux, 176, QStringLiteral("des flux"));
    demeta = NewFolderEdit("demeta", QStringLiteral("Dossier où stocker les fichiers meta"),
                           &TSettings::Dossiermeta, 224, QStringLiteral("meta"));

    LocaliserFichiersFrame = new TLocaliserFichiersFrame(this);
    LocaliserFichiersFrame->move(16, 280);
    LocaliserFichiersFrame->setFrameShape(QFrame::StyledPanel);
}

// A folder chosen with the browse button is stored with its trailing
// delimiter. A work folder (workName set) is checked as the disc steps will
// use it: when it cannot take their files, its caption says why in red.
TWideDirectoryEdit *TOptionsFrame::NewFolderEdit(const char *name, const QString &label,
                                                 QString TSettings::*setting, int y, const QString &workName)
{
    auto *caption = new QLabel(label, this);
    caption->setObjectName(QString::fromLatin1(name) + QStringLiteral("Caption"));
    caption->setGeometry(348, y, 320, 16);
    auto *edit = new TWideDirectoryEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(348, y + 16, 320, 21);
    edit->DialogTitle = label;
    edit->CanCreateNew = false;
    edit->OnAfterDialog = [this, setting, caption, label, workName](TWideDialogEdit *,
                                                                    const QString &folder) {
        Settings.*setting = IncludeTrailingPathDelimiter(folder);
        if (!workName.isEmpty())
            ShowFolderCheck(caption, label, workName, Settings.*setting);
    };
    return edit;
}

void TOptionsFrame::ShowFolderCheck(QLabel *caption, const QString &label, const QString &workName,
                                    const QString &folder)
{
    bool madeFolder = false;
    const int error = CheckWritableFolder(folder, madeFolder);
    QPalette palette = caption->palette();
    palette.setColor(QPalette::WindowText, error ? QColor(Qt::red) : palette.color(QPalette::Text));
    caption->setPalette(palette);
    if (error == 0) {
        caption->setText(label);
        caption->setToolTip(QString());
        return;
    }
    caption->setText((madeFolder ? QStringLiteral("Ne peut pas être créé : ")
                                 : QStringLiteral("Non accessible en écriture : "))
                     + SystemErrorText(error));
    caption->setToolTip(WritableFolderMessage(workName, folder));
}

int TOptionsFrame::PrefsIndex() const
{
    return rgPrefsButtons->checkedId();
}

void TOptionsFrame::SetPrefsIndex(int index)
{
    if (QAbstractButton *entry = rgPrefsButtons->button(index))
        entry->setChecked(true);
}

void TOptionsFrame::ShowSettings(const TSettings &settings)
{
    deOuvrir->SetFolder(settings.DossierOuvrir);
    deAVCHD->SetFolder(settings.DossierAVCHD);
    deFlux->SetFolder(settings.DossierFlux);
    demeta->SetFolder(settings.Dossiermeta);
    cbDeleteMeta->setChecked(settings.DeleteMeta);
    cbDeleteFlux->setChecked(settings.DeleteFlux);
    SetPrefsIndex(settings.PrefsMode);
}

// The mode takes effect at once: the store it no longer uses is emptied.
void TOptionsFrame::rgPrefsClick()
{
    Settings.PrefsMode = TPrefsMode(PrefsIndex());
    if (Settings.PrefsMode != pmPortable)
        DeleteIniSettings(FWhere);
    if (Settings.PrefsMode != pmNormal)
        DeleteRegistrySettings(FWhere);
}
