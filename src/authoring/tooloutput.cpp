#include "src/authoring/tooloutput.h"

namespace {

bool IsBreak(char c)
{
    return c == '\b' || c == '\n' || c == '\r';
}

}  // namespace

QByteArray NormaliseLineBreaks(const QByteArray &text)
{
    QByteArray result;
    result.reserve(text.size() + text.size() / 8);
    for (qsizetype i = 0; i < text.size();) {
        if (!IsBreak(text[i])) {
            result += text[i++];
            continue;
        }
        while (i < text.size() && IsBreak(text[i]))
            ++i;
        result += "\r\n";
    }
    return result;
}
