// Why a program or a folder failed, in the user's words: the programs
// write their errors in English for the log, the status bar and the
// disc's details say in French what the user can act on.
#pragma once

#include <QByteArray>
#include <QString>

// The French reason for the first failure recognised in a program's error
// output ("aucun graveur de DVD n'a été trouvé"); empty when none is.
QString ToolFailureReason(const QByteArray &errorOutput);
