#include "src/platform/shellopen.h"

#include "src/platform/pathdelim.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

#include <utility>

namespace {

std::function<void(const QString &)> &FailureReport()
{
    static std::function<void(const QString &)> report;
    return report;
}

void ReportFailure(const QUrl &target)
{
    const QString message = OpenFailureText(target);
    if (FailureReport())
        FailureReport()(message);
    else
        qWarning("%s", qUtf8Printable(message));
}

// Opens url, telling the failure about target.
bool OpenOrReport(const QUrl &url, const QUrl &target)
{
    const bool missing = url.isLocalFile() && !QFileInfo::exists(url.toLocalFile());
    if (!missing && QDesktopServices::openUrl(url))
        return true;
    ReportFailure(target);
    return false;
}

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

void SetOpenFailureReport(std::function<void(const QString &message)> report)
{
    FailureReport() = std::move(report);
}

QString OpenFailureText(const QUrl &target)
{
    if (target.scheme() == QStringLiteral("mailto"))
        return QStringLiteral("Impossible d'écrire à %1 : aucun programme de messagerie n'est réglé sur ce "
                              "bureau.\nÉcrivez-lui depuis votre messagerie.")
            .arg(target.path());
    if (!target.isLocalFile())
        return QStringLiteral("Impossible d'ouvrir le lien %1 : aucun navigateur n'est réglé sur ce bureau."
                              "\nCopiez-le dans votre navigateur.")
            .arg(target.toDisplayString());
    const QString path = WithoutTrailingDelimiter(target.toLocalFile());
    const QFileInfo info(path);
    const QString name = info.fileName().isEmpty() ? path : info.fileName();
    const QString folder = ExtractFilePath(path);
    if (!info.exists())
        return QStringLiteral("Impossible d'ouvrir « %1 » : il n'existe pas dans le dossier %2.")
            .arg(name, folder);
    return QStringLiteral(
               "Impossible d'ouvrir %1 « %2 » : aucun programme de ce bureau ne s'en charge.\n"
               "Il se trouve dans le dossier %3 ; ouvrez-le depuis votre gestionnaire de fichiers.")
        .arg(info.isDir() ? QStringLiteral("le dossier") : QStringLiteral("le fichier"), name, folder);
}

QUrl DocumentUrl(const QString &text)
{
    if (text.startsWith(PathDelim))
        return QUrl::fromLocalFile(text);
    return QUrl::fromUserInput(text, QDir::currentPath(), QUrl::AssumeLocalFile);
}

bool OpenDocument(const QString &text)
{
    QString document = text;
    if (document.endsWith(QChar(u'\0')))
        document.chop(1);
    const QUrl url = DocumentUrl(document);
    return OpenOrReport(url, url);
}

QString MailLinkText(const QString &recipient, const QString &subject, const QString &body)
{
    return QStringLiteral("mailto:") + recipient + QStringLiteral("?subject=") + subject
           + QStringLiteral("&body=") + body;
}

bool SendMail(const QString &recipient, const QString &subject, const QString &body)
{
    const QUrl mail(MailLinkText(recipient, subject, body), QUrl::TolerantMode);
    return OpenOrReport(mail, QUrl(QStringLiteral("mailto:") + recipient));
}

QUrl ShowInFolderFallback(const QString &path)
{
    const QString item = WithoutTrailingDelimiter(path);
    const QString parent = ExtractFilePath(item);
    return QUrl::fromLocalFile(parent.isEmpty() ? QDir::homePath() : parent);
}

bool ShowInFolder(const QString &path)
{
    const QString item = WithoutTrailingDelimiter(path);
    const QUrl folder = ShowInFolderFallback(path);
    if (item.isEmpty())
        return OpenOrReport(folder, folder);
    const QUrl target = QUrl::fromLocalFile(item);
    if (!QFileInfo::exists(item)) {
        ReportFailure(target);
        return false;
    }
    return FileManagerShowItems(target) || OpenOrReport(folder, target);
}
