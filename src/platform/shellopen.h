// Handing documents, links, mails and folders to the desktop: the program
// associated with a file or a link opens it, the file manager shows a file
// selected in its folder. These need the desktop session (Qt GUI, D-Bus),
// which the file and folder helpers of shell.h do not.
//
// When nothing opens what was asked (no program for it on this desktop, a
// path that does not exist), the failure report gets a French message
// naming what could not be opened and where it is, so that the user can
// go there by hand.
#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// Where failure messages go; the main window shows them in a message box.
// Without one (or after an empty one) they go to the Qt warning log.
void SetOpenFailureReport(std::function<void(const QString &message)> report);

// The message for a file, folder or link (as a URL) that could not be
// opened: the file or folder named with the folder that holds it, or the
// link or mail address itself.
QString OpenFailureText(const QUrl &target);

// Opens a file, a folder or a link with the program associated with it. A
// NUL character at the end of the text is dropped first. False, with the
// failure reported, when nothing opened it.
bool OpenDocument(const QString &text);

// The mail link for a recipient, a subject and a body, inserted as they are
// without any escaping (a "&" in the subject starts another field).
QString MailLinkText(const QString &recipient, const QString &subject, const QString &body);

// Opens MailLinkText(recipient, subject, body) in the mail program. False,
// with the failure reported, when no mail program took it.
bool SendMail(const QString &recipient, const QString &subject, const QString &body);

// Shows the path selected in a file-manager window of the folder that
// holds it (a folder is selected in its parent's window). When no file
// manager answers on D-Bus, the parent folder is opened instead; an empty
// path opens the home folder. False, with the failure reported about the
// path itself, when the path does not exist or nothing could show it.
bool ShowInFolder(const QString &path);

// The folder opened when no file manager can select the path.
QUrl ShowInFolderFallback(const QString &path);

// The text OpenDocument hands on: a path as a file URL, anything else as
// the link it is.
QUrl DocumentUrl(const QString &text);
