// Tavrel: turns the clips of an AVCHD camcorder into AVCHD discs on DVD.
#include <QApplication>
#include <QMainWindow>

#include <gst/gst.h>

int main(int argc, char *argv[])
{
    // Once per process, before any clip is probed or played.
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Tavrel 1.0.3 fr de Morvek"));
    window.resize(684, 498);
    window.show();
    return app.exec();
}
