#include "src/clips/dropblocks.h"

#include <QUrl>

namespace {

void AppendUInt32(QByteArray &block, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        block.append(char((value >> shift) & 0xFF));
}

// Each text as UTF-16LE with its null, then a final null.
QByteArray WideList(const QStringList &texts)
{
    QByteArray block;
    for (const QString &text : texts) {
        for (const QChar unit : text) {
            block.append(char(unit.unicode() & 0xFF));
            block.append(char(unit.unicode() >> 8));
        }
        block.append(2, '\0');
    }
    block.append(2, '\0');
    return block;
}

QList<QByteArray> FileUris(const QStringList &files)
{
    QList<QByteArray> uris;
    for (const QString &file : files)
        uris.append(QUrl::fromLocalFile(file).toEncoded());
    return uris;
}

}  // namespace

QByteArray DropFilesBlock(const QStringList &files)
{
    QByteArray block;
    AppendUInt32(block, kDropFilesHeaderSize);  // offset of the file list
    AppendUInt32(block, 0);  // drop point x
    AppendUInt32(block, 0);  // drop point y
    AppendUInt32(block, 0);  // not in the non-client area
    AppendUInt32(block, 1);  // wide characters
    block.append(WideList(files));
    return block;
}

QByteArray FileNameMapBlock(const QStringList &names)
{
    QByteArray block;
    for (const QString &name : names) {
        block.append(name.toLocal8Bit());
        block.append('\0');
    }
    block.append('\0');
    return block;
}

QByteArray FileNameMapWBlock(const QStringList &names)
{
    return WideList(names);
}

QByteArray PreferredDropEffectBlock(std::uint32_t effect)
{
    QByteArray block;
    AppendUInt32(block, effect);
    return block;
}

QByteArray UriListBlock(const QStringList &files)
{
    QByteArray block;
    for (const QByteArray &uri : FileUris(files))
        block.append(uri + "\r\n");
    return block;
}

QByteArray GnomeCopiedFilesBlock(const QStringList &files, bool move)
{
    QList<QByteArray> lines = FileUris(files);
    lines.prepend(move ? "cut" : "copy");
    return lines.join('\n');
}
