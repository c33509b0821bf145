// Handing documents, links, mails and folders to the desktop: the program
// associated with a file or a link opens it, the file manager shows a file
// selected in its folder. These need the desktop session (Qt GUI, D-Bus),
// which the file and folder helpers of shell.h do not.
#pragma once

#include <QString>
#include <QUrl>

// Opens a file, a folder or a link with the program associated with it. A
// NUL character at the end of the text is dropped first.
void OpenDocument(const QString &text);

// The mail link for a recipient, a subject and a body, inserted as they are
// without any escaping (a "&" in the subject starts another field).
QString MailLinkText(const QString &recipient, const QString &subject, const QString &body);

// Opens MailLinkText(recipient, subject, body) in the mail program.
void SendMail(const QString &recipient, const QString &subject, const QString &body);

// Shows the path selected in a file-manager window of the folder that
// holds it (a folder is selected in its parent's window). When no file
// manager answers on D-Bus, the parent folder is opened instead; an empty
// path opens the home folder.
void ShowInFolder(const QString &path);

// The folder opened when no file manager can select the path.
QUrl ShowInFolderFallback(const QString &path);

// The text OpenDocument hands on: a path as a file URL, anything else as
// the link it is.
QUrl DocumentUrl(const QString &text);
