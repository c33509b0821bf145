#include "src/authoring/toolprogress.h"

#include <QRegularExpression>

namespace {

bool IsBreak(char c)
{
    return c == '\r' || c == '\n' || c == '\b';
}

}  // namespace

bool TToolProgress::ReadProgress(const QByteArray &line, QByteArray &stage, int &percent)
{
    // A stage of words, a colon or dots, then the number and the sign.
    static const QRegularExpression kUpdate(
        QStringLiteral("^\\s*(?:([A-Za-z][A-Za-z ]*?)\\s*(?::|\\.+)\\s*)?(\\d{1,3})\\s*%\\s*$"));
    const QRegularExpressionMatch match = kUpdate.match(QString::fromLatin1(line));
    if (!match.hasMatch())
        return false;
    const int value = match.captured(2).toInt();
    if (value > 100)
        return false;
    stage = match.captured(1).toLatin1();
    percent = value;
    return true;
}

bool TToolProgress::Take(const QByteArray &line)
{
    QByteArray stage;
    int percent = 0;
    if (!ReadProgress(line, stage, percent))
        return false;
    FStage = stage;
    FPercent = percent;
    return true;
}

QByteArray TToolProgress::Feed(const QByteArray &output)
{
    FPending += output;
    QByteArray lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < FPending.size(); ++i) {
        if (!IsBreak(FPending[i]))
            continue;
        const QByteArray line = FPending.mid(start, i - start);
        if (!line.trimmed().isEmpty() && !Take(line))
            lines += line + '\n';
        start = i + 1;
    }
    FPending.remove(0, start);
    // The update being shown now has no break after it yet: it counts at
    // once, and is read again as a whole line when its break comes.
    Take(FPending);
    return lines;
}

QByteArray TToolProgress::Finish()
{
    const QByteArray rest = std::exchange(FPending, QByteArray());
    if (rest.trimmed().isEmpty() || Take(rest))
        return {};
    return rest + '\n';
}
