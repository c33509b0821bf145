// Tavrel: turns the clips of an AVCHD camcorder into AVCHD discs on DVD.
// No command-line arguments are taken.
#include "app/form1.h"

#include <QApplication>
#include <QIcon>

#include <gst/gst.h>

int main(int argc, char *argv[])
{
    // Once per process, before any clip is probed or played.
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    // Desktops without a theme of their own still get freedesktop icons.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QStringLiteral("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    TForm1 form;
    form.show();
    return app.exec();
}
