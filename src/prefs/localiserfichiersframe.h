// The tools locator panel, shown on the options page and in the start-up
// locate dialog: one file edit per outside tool and "Recherche Auto", which
// searches a chosen folder tree for the missing ones. Every panel shows the
// same three paths: the setters store a path in Settings and show it in
// each panel alive.
#pragma once

#include "src/prefs/dirscan.h"

#include <QFrame>

#include <functional>

class QLabel;
class QPushButton;
class TWideFileEdit;

// Store the tool's path in Settings and show it in every locator panel.
void SetEac3toFile(const QString &path);
void SetTsMuxerFile(const QString &path);
void SetImgBurnFile(const QString &path);

class TLocaliserFichiersFrame : public QFrame
{
    Q_OBJECT
public:
    explicit TLocaliserFichiersFrame(QWidget *parent = nullptr);
    ~TLocaliserFichiersFrame() override;

    QLabel *Label1, *Label2, *Label3;
    TWideFileEdit *feEac3to, *feTsMuxer, *feImgBurn;
    QFrame *Panel1;  // red frame around AutoBtn while a search runs
    QPushButton *AutoBtn;
    TDirscan dirscan;

    // Shows the stored path of tool (0 eac3to, 1 tsmuxer, 2 imgburn).
    void ShowToolFile(int tool, const QString &path);
    // Runs after ShowToolFile: a path was found, picked or set.
    std::function<void()> OnToolFileShown;
    // The tool being searched: 0 none, 1 eac3to, 2 tsmuxer, 3 imgburn.
    int Searching() const { return FSearching; }

    void AutoBtnClick();

private:
    TWideFileEdit *NewToolEdit(int tool, int y);
    void FileEditAfterDialog(int tool, const QString &fileName);
    void dirscanStartScan();
    void dirscanEndScan();
    void dirscanFileFound(const QString &fichier);

    int FSearching = 0;
};
