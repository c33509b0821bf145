// The options page: where the settings are kept (rgPrefs), the four working
// folders, the two deletion flags, the tools locator panel, and where the
// discs go (a burner or image files, verification, disc size). Every change
// goes straight into Settings.
#pragma once

#include "src/prefs/burnerdrives.h"
#include "src/prefs/preferences.h"
#include "src/prefs/settings.h"

#include <QFrame>

#include <memory>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimer;
class QToolButton;
class TLocaliserFichiersFrame;
class TWideDirectoryEdit;
struct TDriveScan;

class TOptionsFrame : public QFrame
{
    Q_OBJECT
public:
    // where: the ini file and hive that rgPrefsClick removes.
    explicit TOptionsFrame(const TPrefsLocation &where, QWidget *parent = nullptr);

    QFrame *Bevel1;
    QToolButton *OptionsBtn;
    QGroupBox *rgPrefs;
    QButtonGroup *rgPrefsButtons;  // ids are the TPrefsMode values
    TWideDirectoryEdit *deOuvrir, *deAVCHD, *deFlux, *demeta;
    QCheckBox *cbDeleteMeta, *cbDeleteFlux;
    TLocaliserFichiersFrame *LocaliserFichiersFrame;
    // "Destination des disques": a burner of the list, or image files in a
    // folder; verification after writing.
    QGroupBox *gbDestination;
    QRadioButton *rbGraveur, *rbImage;
    QComboBox *cbGraveurs;  // item data: the drive's address ("" for the first found)
    QPushButton *ActualiserBtn;
    TWideDirectoryEdit *deImages;
    QCheckBox *cbVerifier;
    QLabel *lbTailleDisque;
    QComboBox *cbTailleDisque;  // item data: the size in bytes

    int PrefsIndex() const;
    // Selects an entry; rgPrefsClick runs when the selection changes.
    void SetPrefsIndex(int index);
    // The folders, the boxes, the storage mode and the destination from
    // settings.
    void ShowSettings(const TSettings &settings);

    // Asks the burner (Settings.ImgBurnFile) for its drives on a thread of
    // its own; the list fills in when it answers. Done when the page is
    // shown and by "Actualiser".
    void RefreshDrives();
    // No drive list is awaited.
    bool DrivesListed() const { return !FScan; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    TWideDirectoryEdit *NewFolderEdit(const char *name, const QString &label, QString TSettings::*setting,
                                      int y, const QString &workName = {});
    // The caption of a work folder says whether the disc steps can use it.
    static void ShowFolderCheck(QLabel *caption, const QString &label, const QString &workName,
                                const QString &folder);
    void CreateDestinationGroup();
    void CreateDiscSizeChoice();
    void rgPrefsClick();
    void ScanTick();
    void ShowDrives(const TDriveListing &listing);
    // The destination choice as Settings.Destination says.
    void ShowDestination();
    void ShowDiscSize(int64_t size);
    void cbGraveursActivated(int index);
    void rbGraveurClick();

    TPrefsLocation FWhere;
    std::shared_ptr<TDriveScan> FScan;  // the listing under way, if any
    QTimer *FScanTimer;
    TDriveListing FListing;  // the last answer
};
