#include "prefs/optionsframe.h"

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
                            &TSettings::DossierAVCHD, 128);
    deFlux = NewFolderEdit("deFlux", QStringLiteral("Dossier où stocker les Flux démuxés"),
                           &TSettings::DossierFlux, 176);
    demeta = NewFolderEdit("demeta", QStringLiteral("Dossier où stocker les fichiers meta"),
                           &TSettings::Dossiermeta, 224);

    LocaliserFichiersFrame = new TLocaliserFichiersFrame(this);
    LocaliserFichiersFrame->move(16, 280);
    LocaliserFichiersFrame->setFrameShape(QFrame::StyledPanel);
}

// A folder chosen with the browse button is stored with its trailing
// delimiter.
TWideDirectoryEdit *TOptionsFrame::NewFolderEdit(const char *name, const QString &label,
                                                 QString TSettings::*setting, int y)
{
    auto *caption = new QLabel(label, this);
    caption->setGeometry(348, y, 320, 16);
    auto *edit = new TWideDirectoryEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(348, y + 16, 320, 21);
    edit->DialogTitle = label;
    edit->CanCreateNew = false;
    edit->OnAfterDialog = [setting](TWideDialogEdit *, const QString &folder) {
        Settings.*setting = IncludeTrailingPathDelimiter(folder);
    };
    return edit;
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
