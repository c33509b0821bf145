#include "src/platform/commandline.h"

namespace {

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// The program name: no escapes at all, a quote only opens and ends it.
QString TakeProgramName(const QString &line, qsizetype &i)
{
    QString name;
    const qsizetype n = line.size();
    if (i < n && line[i] == u'"') {
        ++i;
        while (i < n && line[i] != u'"')
            name += line[i++];
        if (i < n)
            ++i;
    } else {
        while (i < n && !IsBlank(line[i]))
            name += line[i++];
    }
    return name;
}

}  // namespace

QStringList CommandLineToArgv(const QString &commandLine)
{
    qsizetype i = 0;
    const qsizetype n = commandLine.size();
    QStringList args {TakeProgramName(commandLine, i)};
    while (i < n && IsBlank(commandLine[i]))
        ++i;
    if (i == n)
        return args;

    // quotes counts the quotes of the current run: 1 means inside a quoted
    // part; every third quote of a run is a literal one.
    QString current;
    int backslashes = 0;
    int quotes = 0;
    while (i < n) {
        const QChar c = commandLine[i];
        if (IsBlank(c) && quotes == 0) {
            current += QString(backslashes, u'\\');
            backslashes = 0;
            args << current;
            current.clear();
            while (i < n && IsBlank(commandLine[i]))
                ++i;
            if (i == n)
                return args;
        } else if (c == u'\\') {
            ++backslashes;
            ++i;
        } else if (c == u'"') {
            current += QString(backslashes / 2, u'\\');
            if (backslashes % 2 == 0)
                ++quotes;
            else
                current += u'"';
            backslashes = 0;
            ++i;
            for (; i < n && commandLine[i] == u'"'; ++i) {
                if (++quotes == 3) {
                    current += u'"';
                    quotes = 0;
                }
            }
            if (quotes == 2)
                quotes = 0;
        } else {
            current += QString(backslashes, u'\\');
            backslashes = 0;
            current += c;
            ++i;
        }
    }
    current += QString(backslashes, u'\\');
    args << current;
    return args;
}

bool CanPassQuoted(const QString &text)
{
    const QStringList args = CommandLineToArgv(QStringLiteral("\"p\" \"") + text + u'"');
    return args.size() == 2 && args[1] == text;
}

bool IsFaithfulPath(const QString &path)
{
    return !path.contains(QChar::ReplacementCharacter);
}
