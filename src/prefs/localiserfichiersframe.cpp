#include "src/prefs/localiserfichiersframe.h"

#include "src/platform/shell.h"
#include "src/prefs/missingtools.h"
#include "src/widgets/themeicon.h"
#include "src/widgets/widedialogedit.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

#include <array>

namespace {

// The panels alive, all showing the same paths.
QList<TLocaliserFichiersFrame *> &Frames()
{
    static QList<TLocaliserFichiersFrame *> frames;
    return frames;
}

void SetToolFile(int tool, const QString &path)
{
    Settings.*Tools[tool].Setting = path;
    for (TLocaliserFichiersFrame *frame : Frames())
        frame->ShowToolFile(tool, path);
}

const QString SearchTitle =
    QStringLiteral("Sélectionnez le dossier dans lequel chercher les fichiers manquants");

}  // namespace

void SetEac3toFile(const QString &path)
{
    SetToolFile(0, path);
}

void SetTsMuxerFile(const QString &path)
{
    SetToolFile(1, path);
}

void SetImgBurnFile(const QString &path)
{
    SetToolFile(2, path);
}

TLocaliserFichiersFrame::TLocaliserFichiersFrame(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("LocaliserFichiersFrame"));
    resize(460, 140);
    std::array<QLabel **, 3> labels = {&Label1, &Label2, &Label3};
    std::array<TWideFileEdit **, 3> edits = {&feEac3to, &feTsMuxer, &feImgBurn};
    for (int tool = 0; tool < 3; ++tool) {
        *labels[tool] = new QLabel(Tools[tool].Label, this);
        (*labels[tool])->setGeometry(8, 6 + 44 * tool, 300, 16);
        *edits[tool] = NewToolEdit(tool, 22 + 44 * tool);
    }
    feEac3to->setObjectName(QStringLiteral("feEac3to"));
    feTsMuxer->setObjectName(QStringLiteral("feTsMuxer"));
    feImgBurn->setObjectName(QStringLiteral("feImgBurn"));

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(326, 48, 128, 44);
    Panel1->setAutoFillBackground(true);
    QPalette red = Panel1->palette();
    red.setColor(QPalette::Window, Qt::red);
    Panel1->setPalette(red);
    Panel1->hide();
    AutoBtn = new QPushButton(QStringLiteral("Recherche Auto"), this);
    AutoBtn->setObjectName(QStringLiteral("AutoBtn"));
    AutoBtn->setGeometry(330, 52, 120, 36);
    AutoBtn->setIcon(ThemeIcon(QStringLiteral("system-search")));
    connect(AutoBtn, &QPushButton::clicked, this, &TLocaliserFichiersFrame::AutoBtnClick);

    dirscan.recursive = true;
    dirscan.OnStartScan = [this](TDirscan *, const QString &, const QString &, bool) { dirscanStartScan(); };
    dirscan.OnEndScan = [this](TDirscan *, const QString &, const QString &, bool) { dirscanEndScan(); };
    dirscan.OnFileFound = [this](TDirscan *, const QString &fichier) { dirscanFileFound(fichier); };

    Frames().append(this);
    for (int tool = 0; tool < 3; ++tool)
        ShowToolFile(tool, Settings.*Tools[tool].Setting);
}

TLocaliserFichiersFrame::~TLocaliserFichiersFrame()
{
    dirscan.Stop();
    Frames().removeOne(this);
}

TWideFileEdit *TLocaliserFichiersFrame::NewToolEdit(int tool, int y)
{
    auto *edit = new TWideFileEdit(this);
    edit->setGeometry(8, y, 300, 21);
    edit->Filter = Tools[tool].Filter;
    edit->FilterIndex = 1;
    edit->DialogTitle = Tools[tool].Label;
    edit->OnAfterDialog = [this, tool](TWideDialogEdit *, const QString &fileName) {
        FileEditAfterDialog(tool, fileName);
    };
    return edit;
}

void TLocaliserFichiersFrame::ShowToolFile(int tool, const QString &path)
{
    const std::array<TWideFileEdit *, 3> edits = {feEac3to, feTsMuxer, feImgBurn};
    edits[tool]->SetFileName(path);
    // Browsing starts beside the tool, or where the program keeps its own.
    edits[tool]->InitialDir = path.isEmpty() ? ProgramFilesFolder() : QFileInfo(path).path();
    if (OnToolFileShown)
        OnToolFileShown();
}

// A picked name that does not exist changes no setting.
void TLocaliserFichiersFrame::FileEditAfterDialog(int tool, const QString &fileName)
{
    if (QFileInfo(fileName).isFile())
        SetToolFile(tool, fileName);
}

// Each missing tool gets a scan of its own, from the top of the folder;
// cancelling the folder choice searches the program's own folder.
void TLocaliserFichiersFrame::AutoBtnClick()
{
    const QString proposal = ProgramFilesFolder();
    QString folder = proposal;
    dirscan.Setdirectory(ChooseFolder(SearchTitle, QString(), folder, false, this) ? folder : proposal);
    for (int tool = 0; tool < 3; ++tool) {
        if (!ToolMissing(Settings.*Tools[tool].Setting))
            continue;
        FSearching = tool + 1;
        dirscan.Masque = Tools[tool].FileName;
        dirscan.Scan();
        SetToolFile(tool, Settings.*Tools[tool].Setting);
    }
    FSearching = 0;
}

void TLocaliserFichiersFrame::dirscanStartScan()
{
    Panel1->show();
    AutoBtn->setEnabled(false);
}

void TLocaliserFichiersFrame::dirscanEndScan()
{
    Panel1->hide();
    AutoBtn->setEnabled(true);
}

// The first match wins.
void TLocaliserFichiersFrame::dirscanFileFound(const QString &fichier)
{
    if (FSearching > 0)
        Settings.*Tools[FSearching - 1].Setting = fichier;
    dirscan.Stop();
}
