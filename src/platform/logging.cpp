#include "src/platform/logging.h"

// Information and above by default; the debug detail when a rule asks for it.
Q_LOGGING_CATEGORY(lcPlatform, "tavrel.platform", QtInfoMsg)
Q_LOGGING_CATEGORY(lcClips, "tavrel.clips", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPreview, "tavrel.preview", QtInfoMsg)
Q_LOGGING_CATEGORY(lcAuthoring, "tavrel.authoring", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPrefs, "tavrel.prefs", QtInfoMsg)
Q_LOGGING_CATEGORY(lcWidgets, "tavrel.widgets", QtInfoMsg)
Q_LOGGING_CATEGORY(lcApp, "tavrel.app", QtInfoMsg)
