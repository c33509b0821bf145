#include "shellopen.h"

#include "platform/pathdelim.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>

namespace {

QString WithoutTrailingDelimiter(const QString &path)
{
    QString p = path;
    while (p.size() > 1 && p.endsWith(PathDelim))
        p.chop(1);
    return p;
}

// Asks the session's file manager to show the item selected; false when no
// file manager answers.
bool FileManagerShowItems(const QUrl &item)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList {item.toString(QUrl::FullyEncoded)} << QString();
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

}  // namespace

QUrl DocumentUrl(const QString &text)
{
    if (text.startsWith(PathDelim))
        return QUrl::fromLocalFile(text);
    return QUrl::fromUserInput(text, QDir::currentPath(), QUrl::AssumeLocalFile);
}

void OpenDocument(const QString &text)
{
    QString document = text;
    if (document.endsWith(QChar(u'\0')))
        document.chop(1);
    QDesktopServices::openUrl(DocumentUrl(document));
}

QString MailLinkText(const QString &recipient, const QString &subject, const QString &body)
{
    return QStringLiteral("mailto:") + recipient + QStringLiteral("?subject=") + subject
           + QStringLiteral("&body=") + body;
}

void SendMail(const QString &recipient, const QString &subject, const QString &body)
{
    QDesktopServices::openUrl(QUrl(MailLinkText(recipient, subject, body), QUrl::TolerantMode));
}

QUrl ShowInFolderFallback(const QString &path)
{
    const QString item = WithoutTrailingDelimiter(path);
    const QString parent = ExtractFilePath(item);
    return QUrl::fromLocalFile(parent.isEmpty() ? QDir::homePath() : parent);
}

void ShowInFolder(const QString &path)
{
    const QString item = WithoutTrailingDelimiter(path);
    if (!item.isEmpty() && FileManagerShowItems(QUrl::fromLocalFile(item)))
        return;
    QDesktopServices::openUrl(ShowInFolderFallback(path));
}
