// Path boxes the user changes only through their browse button: a
// read-only edit with a button at its right edge, which opens a file dialog
// (TWideFileEdit) or the folder chooser (TWideDirectoryEdit).
#pragma once

#include <QFileDialog>
#include <QFrame>

#include <functional>

class QLineEdit;
class QPushButton;

// The folder chooser. A folder that does not exist is emptied first (and
// stays empty when the user cancels); an existing one is preselected. With
// a root, the chooser starts there. newStyle lets the user make folders.
// True when the user chose a folder, which is then in folder, without a
// trailing delimiter.
bool ChooseFolder(const QString &title, const QString &root, QString &folder, bool newStyle,
                  QWidget *owner = nullptr);

// Makes a file or folder dialog Qt's own (the same on every desktop, in
// the language Qt was given): its detail columns show sizes, types and
// dates whole, and the completion list of a typed path closes with the
// dialog instead of staying over the window. Call after setOptions().
void SetUpFileDialog(QFileDialog &dialog);

class TWideDialogEdit : public QFrame
{
    Q_OBJECT
public:
    using TWideExecOpenDialogEvent = std::function<void(TWideDialogEdit *sender, const QString &FileName)>;

    explicit TWideDialogEdit(QWidget *parent = nullptr);

    QString DialogTitle;
    TWideExecOpenDialogEvent OnAfterDialog;
    TWideExecOpenDialogEvent OnAbortDialog;

    QString ButtonHint() const;
    void SetButtonHint(const QString &hint);
    int ButtonWidth() const { return FButtonWidth; }
    void SetButtonWidth(int width);
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool hide) { FHideSelection = hide; }

    QLineEdit *Edit() const { return FEdit; }
    QPushButton *Button() const { return FButton; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;
    // What the button does; each kind opens its own dialog.
    virtual void ButtonClick() = 0;
    void ShowPath(const QString &path);

private:
    void LayOut();

    QLineEdit *FEdit;
    QPushButton *FButton;
    int FButtonWidth = 21;
    bool FHideSelection = true;
};

class TWideFileEdit : public TWideDialogEdit
{
    Q_OBJECT
public:
    explicit TWideFileEdit(QWidget *parent = nullptr);

    QString FileName() const { return FFileName; }
    void SetFileName(const QString &fileName);

    // Pairs of a description and a pattern, all separated by "|"; several
    // patterns of one entry are separated by ";".
    QString Filter;
    int FilterIndex = 1;
    QString DefaultExt;
    QFileDialog::Options DialogOptions;
    QString InitialDir;

    QFileDialog *Dialog() const { return FDialog; }
    // The filter written as Qt name filters, one per entry.
    static QStringList NameFilters(const QString &filter);

protected:
    void ButtonClick() override;

private:
    QFileDialog *FDialog;
    QString FFileName;
};

class TWideDirectoryEdit : public TWideDialogEdit
{
    Q_OBJECT
public:
    explicit TWideDirectoryEdit(QWidget *parent = nullptr) : TWideDialogEdit(parent) { }

    QString Folder() const { return FFolder; }
    void SetFolder(const QString &folder);

    QString Root;
    bool CanCreateNew = false;

protected:
    void ButtonClick() override;

private:
    QString FFolder;
};
