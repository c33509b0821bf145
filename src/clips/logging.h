// The logging category of the clip list and its opening workers
// ("tavrel.clips"), for failures the user does not see.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcClips)
