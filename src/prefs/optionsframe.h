// The options page: where the settings are kept (rgPrefs), the four working
// folders, the two deletion flags and the tools locator panel. Every change
// goes straight into Settings.
#pragma once

#include "prefs/preferences.h"
#include "prefs/settings.h"

#include <QFrame>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QToolButton;
class TLocaliserFichiersFrame;
class TWideDirectoryEdit;

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

    int PrefsIndex() const;
    // Selects an entry; rgPrefsClick runs when the selection changes.
    void SetPrefsIndex(int index);
    // The folders, the two boxes and the storage mode from settings.
    void ShowSettings(const TSettings &settings);

private:
    TWideDirectoryEdit *NewFolderEdit(const char *name, const QString &label, QString TSettings::*setting,
                                      int y, const QString &workName = {});
    // The caption of a work folder says whether the disc steps can use it.
    static void ShowFolderCheck(QLabel *caption, const QString &label, const QString &workName,
                                const QString &folder);
    void rgPrefsClick();

    TPrefsLocation FWhere;
};
