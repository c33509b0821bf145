#include "src/platform/logging.h"

Q_LOGGING_CATEGORY(lcPlatform, "tavrel.platform")
Q_LOGGING_CATEGORY(lcClips, "tavrel.clips")
Q_LOGGING_CATEGORY(lcPreview, "tavrel.preview")
Q_LOGGING_CATEGORY(lcAuthoring, "tavrel.authoring")
Q_LOGGING_CATEGORY(lcPrefs, "tavrel.prefs")
Q_LOGGING_CATEGORY(lcWidgets, "tavrel.widgets")
Q_LOGGING_CATEGORY(lcApp, "tavrel.app")
