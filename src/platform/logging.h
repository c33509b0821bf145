// The logging category of the Linux layer ("tavrel.platform"), for what
// goes wrong there out of the user's sight.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
