#include "src/widgets/widedialogedit.h"

#include <QApplication>
#include <QCompleter>
#include <QHeaderView>
#include <QPointer>
#include <QTreeView>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Answers the next modal file dialog: accept with what set chooses, or
// cancel when set is empty.
void AnswerNextDialog(std::function<void(QFileDialog *)> set)
{
    QTimer::singleShot(0, [set] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        if (set) {
            set(dialog);
            static_cast<QDialog *>(dialog)->accept();
        } else {
            dialog->reject();
        }
    });
}

struct LayoutCase
{
    int width, height, buttonWidth;
    int editWidth, editHeight, buttonLeft, buttonHeight;
};

class DialogEditLayout : public testing::TestWithParam<LayoutCase>
{ };

TEST_P(DialogEditLayout, EditAndButtonFollowSize)
{
    const LayoutCase c = GetParam();
    TWideDirectoryEdit edit;
    edit.SetButtonWidth(c.buttonWidth);
    edit.show();
    edit.resize(c.width, c.height);
    const QPoint origin = edit.contentsRect().topLeft();
    EXPECT_EQ(edit.Edit()->geometry(), QRect(origin.x(), origin.y() + 1, c.editWidth, c.editHeight));
    EXPECT_EQ(edit.Button()->geometry(),
              QRect(origin.x() + c.buttonLeft, origin.y() + 1, c.buttonWidth, c.buttonHeight));
}

INSTANTIATE_TEST_SUITE_P(Sizes, DialogEditLayout,
                         testing::Values(LayoutCase {300, 21, 21, 275, 19, 275, 17},
                                         LayoutCase {300, 21, 40, 256, 19, 256, 17},
                                         LayoutCase {185, 30, 21, 160, 28, 160, 26}));

TEST(WideDialogEdit, StartsAt21PixelsHighWithReadOnlyEdit)
{
    TWideFileEdit edit;
    EXPECT_EQ(edit.height(), 21);
    EXPECT_EQ(edit.ButtonWidth(), 21);
    EXPECT_TRUE(edit.Edit()->isReadOnly());
    EXPECT_FALSE(edit.Button()->isFlat());
    EXPECT_TRUE(edit.HideSelection());
}

TEST(WideDialogEdit, SettingPathFromCodeShowsItSilently)
{
    TWideFileEdit file;
    TWideDirectoryEdit folder;
    int told = 0;
    file.OnAfterDialog = [&](TWideDialogEdit *, const QString &) { ++told; };
    folder.OnAfterDialog = [&](TWideDialogEdit *, const QString &) { ++told; };
    file.SetFileName(QStringLiteral("/opt/outils/eac3to"));
    folder.SetFolder(QStringLiteral("/data/AVCHD/"));
    EXPECT_EQ(file.Edit()->text(), QStringLiteral("/opt/outils/eac3to"));
    EXPECT_EQ(folder.Edit()->text(), QStringLiteral("/data/AVCHD/"));
    EXPECT_EQ(told, 0);
}

TEST(WideFileEdit, FilterBecomesQtNameFilters)
{
    EXPECT_EQ(TWideFileEdit::NameFilters(QStringLiteral("Fichier eac3to.exe|eac3to.exe")),
              QStringList {QStringLiteral("Fichier eac3to.exe (eac3to.exe)")});
    EXPECT_EQ(TWideFileEdit::NameFilters(QStringLiteral("Clips|*.m2ts;*.mts|Tout|*")),
              (QStringList {QStringLiteral("Clips (*.m2ts *.mts)"), QStringLiteral("Tout (*)")}));
    EXPECT_TRUE(TWideFileEdit::NameFilters(QString()).isEmpty());
}

TEST(WideFileEdit, PickedFileIsShownAndTold)
{
    QTemporaryDir dir;
    const QString tool = dir.filePath(QStringLiteral("eac3to"));
    QFile(tool).open(QIODevice::WriteOnly);
    TWideFileEdit edit;
    edit.InitialDir = dir.path();
    edit.Filter = QStringLiteral("Fichier eac3to|eac3to");
    QString told;
    edit.OnAfterDialog = [&](TWideDialogEdit *sender, const QString &name) {
        EXPECT_EQ(sender, &edit);
        told = name;
    };
    AnswerNextDialog([&](QFileDialog *d) {
        EXPECT_EQ(QDir(d->directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
        EXPECT_EQ(d->nameFilters(), QStringList {QStringLiteral("Fichier eac3to (eac3to)")});
        d->selectFile(tool);
    });
    edit.Button()->click();
    EXPECT_EQ(edit.FileName(), tool);
    EXPECT_EQ(told, tool);
    EXPECT_EQ(edit.Edit()->text(), tool);
}

TEST(WideFileEdit, CancelChangesNothingAndTellsAbort)
{
    TWideFileEdit edit;
    edit.SetFileName(QStringLiteral("/opt/old"));
    QString aborted;
    bool after = false;
    edit.OnAbortDialog = [&](TWideDialogEdit *, const QString &name) { aborted = name; };
    edit.OnAfterDialog = [&](TWideDialogEdit *, const QString &) { after = true; };
    AnswerNextDialog(nullptr);
    edit.Button()->click();
    EXPECT_EQ(aborted, QStringLiteral("/opt/old"));
    EXPECT_FALSE(after);
    EXPECT_EQ(edit.FileName(), QStringLiteral("/opt/old"));
}

// A path being typed shows the completion list; whatever ends the dialog
// closes that list too, so it is not left over the window.
TEST(WideFileEdit, CompletionListClosesWithTheDialog)
{
    TWideFileEdit edit;
    edit.show();
    QPointer<QWidget> popup;
    QTimer::singleShot(0, [&] {
        auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        QCompleter *completer = d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->completer();
        popup = completer->popup();
        popup->show();
        d->reject();
    });
    edit.Button()->click();
    ASSERT_FALSE(popup.isNull());
    EXPECT_FALSE(popup->isVisible());
}

// Sizes, types and dates show whole, the name taking what is left.
TEST(SetUpFileDialog, DetailColumnsFitTheirContents)
{
    QFileDialog dialog;
    SetUpFileDialog(dialog);
    const QHeaderView *header = dialog.findChild<QTreeView *>(QStringLiteral("treeView"))->header();
    EXPECT_EQ(header->sectionResizeMode(0), QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column)
        EXPECT_EQ(header->sectionResizeMode(column), QHeaderView::ResizeToContents) << column;
    EXPECT_GE(dialog.width(), 820);
}

TEST(WideDirectoryEdit, ChosenFolderGetsTrailingDelimiter)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("Data"));
    const QString data = QDir(dir.path()).canonicalPath() + QStringLiteral("/Data");
    TWideDirectoryEdit edit;
    edit.SetFolder(QDir(dir.path()).canonicalPath());
    QString told;
    edit.OnAfterDialog = [&](TWideDialogEdit *, const QString &name) { told = name; };
    AnswerNextDialog([&](QFileDialog *d) {
        // The existing folder is preselected.
        EXPECT_EQ(d->directory().canonicalPath(), QDir(dir.path()).canonicalPath());
        d->setDirectory(data);
    });
    edit.Button()->click();
    EXPECT_EQ(edit.Folder(), data + u'/');
    EXPECT_EQ(told, data + u'/');
    EXPECT_EQ(edit.Edit()->text(), data + u'/');
}

TEST(WideDirectoryEdit, VanishedFolderIsEmptiedEvenOnCancel)
{
    TWideDirectoryEdit edit;
    edit.SetFolder(QStringLiteral("/no/such/folder/"));
    QString aborted = QStringLiteral("unset");
    edit.OnAbortDialog = [&](TWideDialogEdit *, const QString &name) { aborted = name; };
    AnswerNextDialog(nullptr);
    edit.Button()->click();
    EXPECT_TRUE(edit.Folder().isEmpty());
    EXPECT_TRUE(aborted.isEmpty());
    EXPECT_EQ(edit.Edit()->text(), QStringLiteral("/no/such/folder/"));
}

TEST(ChooseFolder, RootFolderKeepsItsDelimiterAndTitleIsGiven)
{
    QString folder = QStringLiteral("/");
    AnswerNextDialog([](QFileDialog *d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Sélectionnez le Dossier contenant les images à ouvrir"));
        EXPECT_TRUE(d->testOption(QFileDialog::ReadOnly));  // old style: no new folders
        EXPECT_TRUE(d->isModal());
    });
    EXPECT_TRUE(ChooseFolder(QStringLiteral("Sélectionnez le Dossier contenant les images à ouvrir"),
                             QString(), folder, false));
    EXPECT_EQ(folder, QStringLiteral("/"));
}

TEST(ChooseFolder, CancelKeepsExistingFolder)
{
    QTemporaryDir dir;
    QString folder = dir.path();
    AnswerNextDialog(nullptr);
    EXPECT_FALSE(ChooseFolder(QString(), QString(), folder, true));
    EXPECT_EQ(folder, dir.path());
}

}  // namespace
