#include "src/preview/tstimes.h"

#include <QFile>

namespace {

std::span<const uint8_t> BytesOf(const QByteArray &data)
{
    return {reinterpret_cast<const uint8_t *>(data.constData()), static_cast<std::size_t>(data.size())};
}

}  // namespace

TClipTimes ReadClipTimes(const QString &path)
{
    return ReadClipTimesOfFile(QFile::encodeName(path).toStdString());
}

TClipTimes ClipTimesOf(const QByteArray &head, const QByteArray &tail)
{
    return ReadClipTimesOf(BytesOf(head), BytesOf(tail)).Times;
}
