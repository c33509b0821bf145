#include "widgets/widedialogedit.h"

#include "platform/pathdelim.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

namespace {

QIcon OpenIcon(const QWidget *widget)
{
    QIcon icon = QIcon::fromTheme(QStringLiteral("document-open"));
    if (icon.isNull() || icon.availableSizes().isEmpty())
        icon = widget->style()->standardIcon(QStyle::SP_DirOpenIcon);
    return icon;
}

}  // namespace

bool ChooseFolder(const QString &title, const QString &root, QString &folder, bool newStyle,
                  QWidget *owner)
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
    : QFrame(parent), edit_(new QLineEdit(this)), button_(new QPushButton(this))
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    edit_->setReadOnly(true);
    edit_->setFrame(false);
    edit_->setBackgroundRole(QPalette::Window);
    edit_->setAutoFillBackground(true);
    QPalette palette = edit_->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    edit_->setPalette(palette);
    button_->setIcon(OpenIcon(this));
    button_->setIconSize(QSize(16, 16));
    button_->setFlat(false);
    connect(button_, &QPushButton::clicked, this, [this] { ButtonClick(); });
    resize(185, 21);
    LayOut();
}

QString TWideDialogEdit::ButtonHint() const
{
    return button_->toolTip();
}

void TWideDialogEdit::SetButtonHint(const QString &hint)
{
    button_->setToolTip(hint);
}

void TWideDialogEdit::SetButtonWidth(int width)
{
    buttonWidth_ = width;
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
        edit_->setToolTip(toolTip());
    return QFrame::event(event);
}

// Positions are measured from the inside of the border, sizes from the
// panel's outer size, as the controls were designed.
void TWideDialogEdit::LayOut()
{
    const QPoint origin = contentsRect().topLeft();
    const int w = width();
    const int h = height();
    edit_->setGeometry(origin.x(), origin.y() + 1, w - buttonWidth_ - 4, h - 2);
    button_->setGeometry(origin.x() + w - buttonWidth_ - 4, origin.y() + 1, buttonWidth_, h - 4);
}

void TWideDialogEdit::ShowPath(const QString &path)
{
    edit_->setText(path);
    edit_->setCursorPosition(0);
}

TWideFileEdit::TWideFileEdit(QWidget *parent)
    : TWideDialogEdit(parent), dialog_(new QFileDialog(this))
{
    DialogOptions = QFileDialog::DontUseNativeDialog;
}

void TWideFileEdit::SetFileName(const QString &fileName)
{
    fileName_ = fileName;
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
    dialog_->setWindowTitle(DialogTitle);
    dialog_->setOptions(DialogOptions);
    dialog_->setFileMode(QFileDialog::ExistingFile);
    dialog_->setDirectory(InitialDir);
    const QStringList filters = NameFilters(Filter);
    dialog_->setNameFilters(filters.isEmpty() ? QStringList{QStringLiteral("*")} : filters);
    if (FilterIndex >= 1 && FilterIndex <= filters.size())
        dialog_->selectNameFilter(filters[FilterIndex - 1]);
    QString suffix = DefaultExt;
    if (suffix.startsWith(u'.'))
        suffix.remove(0, 1);
    dialog_->setDefaultSuffix(suffix);
    if (dialog_->exec() == QDialog::Accepted && !dialog_->selectedFiles().isEmpty()) {
        SetFileName(dialog_->selectedFiles().constFirst());
        if (OnAfterDialog)
            OnAfterDialog(this, fileName_);
    } else if (OnAbortDialog) {
        OnAbortDialog(this, fileName_);
    }
}

void TWideDirectoryEdit::SetFolder(const QString &folder)
{
    folder_ = folder;
    ShowPath(folder);
}

void TWideDirectoryEdit::ButtonClick()
{
    // The chooser works on Folder itself: a vanished folder is emptied
    // even when the user cancels, while the edit keeps the old text.
    if (ChooseFolder(DialogTitle, Root, folder_, CanCreateNew, this)) {
        SetFolder(IncludeTrailingPathDelimiter(folder_));
        if (OnAfterDialog)
            OnAfterDialog(this, folder_);
    } else if (OnAbortDialog) {
        OnAbortDialog(this, folder_);
    }
}
