// Tool output as the log shows it.
#pragma once

#include <QByteArray>

// Every maximal run of backspaces, line feeds and carriage returns becomes
// one CR LF pair, so progress redrawn in place reads as one line per update;
// every other character stays, in order.
QByteArray NormaliseLineBreaks(const QByteArray &text);
