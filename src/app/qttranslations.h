// Qt's own texts (the buttons of message boxes, the file and folder
// choosers) in the user's language, read from the translations the
// system's Qt ships (qt6-translations-l10n on Debian).
#pragma once

#include <QLocale>

class QCoreApplication;

// Installs Qt's translation for locale into app; false when the system has
// none for that language (Qt then speaks English).
bool InstallQtTranslations(QCoreApplication &app, const QLocale &locale = QLocale());
