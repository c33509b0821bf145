// Every logging category of the application, in one place so that a rule
// such as QT_LOGGING_RULES="tavrel.*.debug=true" can name them all.
//   tavrel.platform   the Linux layer: files, registry hive, outside programs
//   tavrel.clips      the clip list and its opening workers
//   tavrel.preview    the media framework behind the preview player
//   tavrel.authoring  disc authoring: each tool run, its output and failures
//   tavrel.prefs      settings stores and the options pages
//   tavrel.widgets    the own widgets
//   tavrel.app        the main window and start-up
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
Q_DECLARE_LOGGING_CATEGORY(lcClips)
Q_DECLARE_LOGGING_CATEGORY(lcPreview)
Q_DECLARE_LOGGING_CATEGORY(lcAuthoring)
Q_DECLARE_LOGGING_CATEGORY(lcPrefs)
Q_DECLARE_LOGGING_CATEGORY(lcWidgets)
Q_DECLARE_LOGGING_CATEGORY(lcApp)
