#include "src/prefs/optionsframe.h"

#include "src/platform/foldercheck.h"
#include "src/platform/pathdelim.h"
#include "src/prefs/localiserfichiersframe.h"
#include "src/widgets/pagebutton.h"
#include "src/widgets/widedialogedit.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>

#include <mutex>
#include <thread>

// A drive listing under way on its own thread: a drive slow to answer must
// not stop the window. The page's timer picks the answer up.
struct TDriveScan
{
    std::mutex Mutex;
    bool Done = false;
    TDriveListing Listing;
};

namespace {

const QString kNoDrive = QStringLiteral("Aucun graveur détecté");

struct TDiscSizeChoice
{
    const char *Text;
    int64_t Size;
};
const TDiscSizeChoice kDiscSizes[] = {{"DVD (4,7 Go)", kDvdSize},
                                      {"DVD double couche (8,5 Go)", kDualLayerDvdSize}};

}  // namespace

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

    CreateDiscSizeChoice();
    CreateDestinationGroup();
    FScanTimer = new QTimer(this);
    FScanTimer->setInterval(50);
    connect(FScanTimer, &QTimer::timeout, this, &TOptionsFrame::ScanTick);
}

// Beside the locator panel, under the folders.
void TOptionsFrame::CreateDiscSizeChoice()
{
    lbTailleDisque = new QLabel(QStringLiteral("Taille des disques"), this);
    lbTailleDisque->setGeometry(492, 280, 176, 16);
    cbTailleDisque = new QComboBox(this);
    cbTailleDisque->setObjectName(QStringLiteral("cbTailleDisque"));
    cbTailleDisque->setGeometry(492, 296, 176, 22);
    for (const TDiscSizeChoice &choice : kDiscSizes)
        cbTailleDisque->addItem(QString::fromUtf8(choice.Text), QVariant::fromValue<qint64>(choice.Size));
    connect(cbTailleDisque, &QComboBox::activated, this,
            [this](int index) { Settings.TailleDisque = cbTailleDisque->itemData(index).toLongLong(); });
}

// Under the placed controls, across the page; the page grows to the room
// above the status bar to hold it.
void TOptionsFrame::CreateDestinationGroup()
{
    resize(width(), 504);
    gbDestination = new QGroupBox(QStringLiteral("Destination des disques"), this);
    gbDestination->setObjectName(QStringLiteral("gbDestination"));
    gbDestination->setGeometry(16, 426, 652, 76);

    rbGraveur = new QRadioButton(QStringLiteral("Graveur"), gbDestination);
    rbGraveur->setObjectName(QStringLiteral("rbGraveur"));
    rbGraveur->setGeometry(10, 20, 124, 22);
    connect(rbGraveur, &QRadioButton::clicked, this, &TOptionsFrame::rbGraveurClick);
    cbGraveurs = new QComboBox(gbDestination);
    cbGraveurs->setObjectName(QStringLiteral("cbGraveurs"));
    cbGraveurs->setGeometry(136, 20, 330, 22);
    connect(cbGraveurs, &QComboBox::activated, this, &TOptionsFrame::cbGraveursActivated);
    ActualiserBtn = new QPushButton(QStringLiteral("Actualiser"), gbDestination);
    ActualiserBtn->setObjectName(QStringLiteral("ActualiserBtn"));
    ActualiserBtn->setToolTip(QStringLiteral("Chercher à nouveau les graveurs"));
    ActualiserBtn->setGeometry(472, 20, 80, 22);
    connect(ActualiserBtn, &QPushButton::clicked, this, &TOptionsFrame::RefreshDrives);

    rbImage = new QRadioButton(QStringLiteral("Fichier image (.iso)"), gbDestination);
    rbImage->setObjectName(QStringLiteral("rbImage"));
    rbImage->setGeometry(10, 47, 124, 22);
    connect(rbImage, &QRadioButton::clicked, this, [] { Settings.Destination = kImageDestination; });
    deImages = new TWideDirectoryEdit(gbDestination);
    deImages->setObjectName(QStringLiteral("deImages"));
    deImages->setGeometry(136, 48, 330, 21);
    deImages->DialogTitle = QStringLiteral("Dossier où écrire les fichiers image");
    deImages->CanCreateNew = true;
    deImages->OnAfterDialog = [this](TWideDialogEdit *, const QString &folder) {
        Settings.DossierImages = IncludeTrailingPathDelimiter(folder);
        Settings.Destination = kImageDestination;
        rbImage->setChecked(true);
    };

    cbVerifier = new QCheckBox(QStringLiteral("Vérifier après l'écriture"), gbDestination);
    cbVerifier->setObjectName(QStringLiteral("cbVerifier"));
    cbVerifier->setToolTip(QStringLiteral("Relire le disque ou l'image et le comparer au dossier du disque"));
    cbVerifier->setGeometry(472, 47, 176, 22);
    connect(cbVerifier, &QCheckBox::toggled, this, [](bool on) { Settings.Verifier = on; });
}

void TOptionsFrame::showEvent(QShowEvent *event)
{
    QFrame::showEvent(event);
    RefreshDrives();
}

void TOptionsFrame::RefreshDrives()
{
    if (FScan)
        return;
    auto scan = std::make_shared<TDriveScan>();
    FScan = scan;
    std::thread([scan, program = Settings.ImgBurnFile] {
        TDriveListing listing = ListBurnerDrives(program);
        std::lock_guard lock(scan->Mutex);
        scan->Listing = std::move(listing);
        scan->Done = true;
    }).detach();
    ActualiserBtn->setEnabled(false);
    cbGraveurs->clear();
    cbGraveurs->addItem(QStringLiteral("Recherche des graveurs…"));
    FScanTimer->start();
}

void TOptionsFrame::ScanTick()
{
    {
        std::lock_guard lock(FScan->Mutex);
        if (!FScan->Done)
            return;
        FListing = std::move(FScan->Listing);
    }
    FScan.reset();
    FScanTimer->stop();
    ActualiserBtn->setEnabled(true);
    ShowDestination();
}

// The list: the first drive found (the burner's own choice), each drive,
// and a chosen drive that is not there any more, so that the setting shows.
void TOptionsFrame::ShowDrives(const TDriveListing &listing)
{
    cbGraveurs->clear();
    cbGraveurs->setToolTip(listing.Failure);
    if (listing.Drives.isEmpty())
        cbGraveurs->addItem(kNoDrive);
    else
        cbGraveurs->addItem(QStringLiteral("Premier graveur trouvé"), QString());
    for (const TBurnerDrive &drive : listing.Drives)
        cbGraveurs->addItem(DriveText(drive), drive.Address);
    const QString &chosen = Settings.Destination;
    if (chosen.isEmpty() || chosen == kImageDestination)
        return;
    for (int i = 0; i < listing.Drives.size(); ++i)
        if (SameDrive(chosen, listing.Drives[i])) {
            cbGraveurs->setCurrentIndex(i + 1);
            return;
        }
    cbGraveurs->addItem(chosen + QStringLiteral(" (introuvable)"), chosen);
    cbGraveurs->setCurrentIndex(cbGraveurs->count() - 1);
}

void TOptionsFrame::ShowDestination()
{
    ShowDrives(FListing);
    (Settings.Destination == kImageDestination ? rbImage : rbGraveur)->setChecked(true);
}

void TOptionsFrame::cbGraveursActivated(int index)
{
    const QVariant address = cbGraveurs->itemData(index);
    if (!address.isValid())
        return;  // "Aucun graveur détecté"
    Settings.Destination = address.toString();
    rbGraveur->setChecked(true);
}

// Back to a burner: the one the list shows.
void TOptionsFrame::rbGraveurClick()
{
    const QVariant address = cbGraveurs->currentData();
    Settings.Destination = address.isValid() ? address.toString() : QString();
}

void TOptionsFrame::ShowDiscSize(int64_t size)
{
    int index = cbTailleDisque->findData(QVariant::fromValue<qint64>(size));
    if (index < 0) {
        // A size set by hand in the settings is shown as it is.
        cbTailleDisque->addItem(QLocale(QLocale::French).toString(size) + QStringLiteral(" octets"),
                                QVariant::fromValue<qint64>(size));
        index = cbTailleDisque->count() - 1;
    }
    cbTailleDisque->setCurrentIndex(index);
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
    deImages->SetFolder(settings.DossierImages);
    cbVerifier->setChecked(settings.Verifier);
    ShowDiscSize(settings.TailleDisque);
    ShowDestination();
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
