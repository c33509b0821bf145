#include "src/clips/mimefiles.h"

#include <QUrl>

static const QString UriListType = QStringLiteral("text/uri-list");
static const QString GnomeCopiedFilesType = QStringLiteral("x-special/gnome-copied-files");

// Local paths of the URIs in lines, comments and blank lines skipped.
static QStringList LocalFilesOfUris(const QStringList &lines)
{
    QStringList files;
    for (const QString &line : lines) {
        const QString uri = line.trimmed();
        if (uri.isEmpty() || uri.startsWith(u'#'))
            continue;
        const QUrl url(uri);
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    }
    return files;
}

static QStringList LinesOf(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes);
    text.replace(u'\r', u'\n');
    return text.split(u'\n', Qt::SkipEmptyParts);
}

QStringList MimeDataFiles(const QMimeData &data)
{
    if (data.hasFormat(UriListType))
        return LocalFilesOfUris(LinesOf(data.data(UriListType)));
    if (data.hasFormat(GnomeCopiedFilesType)) {
        QStringList lines = LinesOf(data.data(GnomeCopiedFilesType));
        if (!lines.isEmpty())
            lines.removeFirst();  // "copy" or "cut"
        return LocalFilesOfUris(lines);
    }
    return {};
}
