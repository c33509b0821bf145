// Tavrel: turns the clips of an AVCHD camcorder into AVCHD discs on DVD.
// No command-line arguments are taken.
#include "src/app/form1.h"
#include "src/app/qttranslations.h"
#include "src/platform/logging.h"
#include "src/platform/shellopen.h"
#include "src/widgets/imagelist.h"

#include <QApplication>
#include <QMessageBox>

#include <gst/gst.h>

int main(int argc, char *argv[])
{
    // Once per process, before any clip is probed or played.
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    // The program's own texts are French; Qt's dialogs follow the locale.
    if (!InstallQtTranslations(app) && QLocale().language() != QLocale::English)
        qCInfo(lcApp) << "no Qt translation for the locale" << QLocale().name()
                      << ": Qt's dialogs speak English";
    // Lets the desktop match the window with the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("fr.morvek.Tavrel"));
    TImageList::ChooseIconTheme();
    TForm1 form;
    // Whatever the desktop could not open is told in the window.
    SetOpenFailureReport(
        [&form](const QString &message) { QMessageBox::warning(&form, form.windowTitle(), message); });
    form.show();
    return app.exec();
}
