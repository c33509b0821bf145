#include "src/widgets/widedialogedit.h"

#include "src/platform/pathdelim.h"
#include "src/widgets/themeicon.h"

#include <QCompleter>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTreeView>

void SetUpFileDialog(QFileDialog &dialog)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // Room at the first opening for the places on the left and for whole
    // names beside the other columns.
    dialog.resize(dialog.sizeHint().expandedTo(QSize(820, 480)));
    if (auto *splitter = dialog.findChild<QSplitter *>(QStringLiteral("splitter")))
        splitter->setSizes({170, 650});
    // The name takes what the other columns leave; French sizes ("26,5 Mio")
    // and dates are wider than the English ones the defaults were set for.
    if (auto *view = dialog.findChild<QTreeView *>(QStringLiteral("treeView"))) {
        QHeaderView *header = view->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column)
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    for (QCompleter *completer : dialog.findChildren<QCompleter *>())
        QObject::connect(&dialog, &QDialog::finished, completer->popup(), &QWidget::hide,
                         Qt::UniqueConnection);
}

bool ChooseFolder(const QString &title, const QString &root, QString &folder, bool newStyle, QWidget *owner)
{
    if (!QFileInfo(folder).isDir())
        folder.clear();
    QFileDialog dialog(owner, title);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setFileMode(QFileDialog::Directory);
    QFileDialog::Options options = QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog;
    if (!newStyle)
        options |= QFileDialog::ReadOnly;  // no new-folder button
    dialog.setOptions(options);
    SetUpFileDialog(dialog);
    if (!folder.isEmpty())
        dialog.setDirectory(folder);
    else if (!root.isEmpty())
        dialog.setDirectory(root);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    QString chosen = QDir::cleanPath(dialog.selectedFiles().constFirst());
    if (chosen.size() > 1 && chosen.endsWith(PathDelim))
        chosen.chop(1);
    folder = chosen;
    return true;
}

TWideDialogEdit::TWideDialogEdit(QWidget *parent)
    : QFrame(parent), FEdit(new QLineEdit(this)), FButton(new QPushButton(this))
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    FEdit->setReadOnly(true);
    FEdit->setFrame(false);
    FEdit->setBackgroundRole(QPalette::Window);
    FEdit->setAutoFillBackground(true);
    QPalette palette = FEdit->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    FEdit->setPalette(palette);
    FButton->setIcon(ThemeIcon(QStringLiteral("document-open")));
    FButton->setIconSize(QSize(16, 16));
    FButton->setFlat(false);
    connect(FButton, &QPushButton::clicked, this, [this] { ButtonClick(); });
    resize(185, 21);
    LayOut();
}

QString TWideDialogEdit::ButtonHint() const
{
    return FButton->toolTip();
}

void TWideDialogEdit::SetButtonHint(const QString &hint)
{
    FButton->setToolTip(hint);
}

void TWideDialogEdit::SetButtonWidth(int width)
{
    FButtonWidth = width;
    LayOut();
}

void TWideDialogEdit::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    LayOut();
}

// The edit follows the panel's font, palette and hint.
bool TWideDialogEdit::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTipChange)
        FEdit->setToolTip(toolTip());
    return QFrame::event(event);
}

// Positions are measured from the inside of the border, sizes from the
// panel's outer size, as the controls were designed.
void TWideDialogEdit::LayOut()
{
    const QPoint origin = contentsRect().topLeft();
    const int w = width();
    const int h = height();
    FEdit->setGeometry(origin.x(), origin.y() + 1, w - FButtonWidth - 4, h - 2);
    FButton->setGeometry(origin.x() + w - FButtonWidth - 4, origin.y() + 1, FButtonWidth, h - 4);
}

void TWideDialogEdit::ShowPath(const QString &path)
{
    FEdit->setText(path);
    FEdit->setCursorPosition(0);
}

TWideFileEdit::TWideFileEdit(QWidget *parent) : TWideDialogEdit(parent), FDialog(new QFileDialog(this))
{
    DialogOptions = QFileDialog::DontUseNativeDialog;
}

void TWideFileEdit::SetFileName(const QString &fileName)
{
    FFileName = fileName;
    ShowPath(fileName);
}

QStringList TWideFileEdit::NameFilters(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        filters.append(parts[i] + QStringLiteral(" (") + patterns + u')');
    }
    return filters;
}

void TWideFileEdit::ButtonClick()
{
    FDialog->setWindowTitle(DialogTitle);
    FDialog->setOptions(DialogOptions);
    SetUpFileDialog(*FDialog);
    FDialog->setFileMode(QFileDialog::ExistingFile);
    FDialog->setDirectory(InitialDir);
    const QStringList filters = NameFilters(Filter);
    FDialog->setNameFilters(filters.isEmpty() ? QStringList {QStringLiteral("*")} : filters);
    if (FilterIndex >= 1 && FilterIndex <= filters.size())
        FDialog->selectNameFilter(filters[FilterIndex - 1]);
    QString suffix = DefaultExt;
    if (suffix.startsWith(u'.'))
        suffix.remove(0, 1);
    FDialog->setDefaultSuffix(suffix);
    if (FDialog->exec() == QDialog::Accepted && !FDialog->selectedFiles().isEmpty()) {
        SetFileName(FDialog->selectedFiles().constFirst());
        if (OnAfterDialog)
            OnAfterDialog(this, FFileName);
    } else if (OnAbortDialog) {
        OnAbortDialog(this, FFileName);
    }
}

void TWideDirectoryEdit::SetFolder(const QString &folder)
{
    FFolder = folder;
    ShowPath(folder);
}

void TWideDirectoryEdit::ButtonClick()
{
    // The chooser works on Folder itself: a vanished folder is emptied
    // even when the user cancels, while the edit keeps the old text.
    if (ChooseFolder(DialogTitle, Root, FFolder, CanCreateNew, this)) {
        SetFolder(IncludeTrailingPathDelimiter(FFolder));
        if (OnAfterDialog)
            OnAfterDialog(this, FFolder);
    } else if (OnAbortDialog) {
        OnAbortDialog(this, FFolder);
    }
}
