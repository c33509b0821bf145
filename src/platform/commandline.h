// Splitting one command-line text into the argument list a program receives,
// with the rules of the Windows shell (CommandLineToArgvW). The command lines
// the disc steps build are Windows-style texts; the runner turns them into
// argv with these rules, so a text and what the program gets always agree.
#pragma once

#include <QString>
#include <QStringList>

// The arguments of a command line, the program name first. The name ends at
// the next double quote when it starts with one, at the next blank otherwise;
// the other arguments are separated by spaces and tabs outside quotes, with
// the backslash-before-quote and doubled-quote rules.
QStringList CommandLineToArgv(const QString &commandLine);

// True when the text, written between two double quotes in a command line,
// arrives unchanged as one argument (no double quote in it and no backslash
// at its end, which would escape the closing quote).
bool CanPassQuoted(const QString &text);

// False when the path holds U+FFFD: a file name that is not valid UTF-8 is
// read with U+FFFD in place of its bytes, so the path names another file,
// or none, and cannot be handed to a program.
bool IsFaithfulPath(const QString &path);
