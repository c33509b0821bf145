// The logging category of disc authoring ("tavrel.authoring"): each tool
// run and what goes wrong out of the user's sight.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcAuthoring)
