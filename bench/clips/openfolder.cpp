// Opening a folder of clips through the clip list, against probing the
// same clips one after the other on the UI thread (an opening without a
// worker). Prints the longest stall of the UI event loop during each and
// the clips opened per second, and the longest stall of the idle event
// loop as the machine's noise floor.
//
// usage: tavrel_bench_openfolder CLIP [COUNT]   (COUNT links to CLIP, 200 by default)
#include "src/clips/fichierlistbox.h"

#include <gst/gst.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

// Measures the longest gap between two turns of the event loop, using a
// timer that asks to run every millisecond.
class TStallMeter
{
public:
    TStallMeter()
    {
        FTimer.setInterval(1);
        FTimer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&FTimer, &QTimer::timeout,
                         [this] { FLongest = std::max(FLongest, FSince.restart()); });
    }
    void Start()
    {
        FLongest = 0;
        FSince.start();
        FTimer.start();
    }
    qint64 Stop()
    {
        FTimer.stop();
        return std::max(FLongest, FSince.elapsed());
    }

private:
    QTimer FTimer;
    QElapsedTimer FSince;
    qint64 FLongest = 0;
};

}  // namespace

int main(int argc, char *argv[])
{
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CLIP [COUNT]\n", argv[0]);
        return 2;
    }
    const QString clip = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const int count = argc > 2 ? std::atoi(argv[2]) : 200;
    QTemporaryDir dir;
    for (int i = 0; i < count; ++i) {
        if (!QFile::link(clip, dir.path() + QString("/clip%1.m2ts").arg(i, 4, 10, QChar('0')))) {
            std::fprintf(stderr, "cannot make the clip links in %s\n", qPrintable(dir.path()));
            return 2;
        }
    }
    TStallMeter meter;

    // Noise floor: the longest stall of an idle event loop on this machine
    // as it is loaded now, over two seconds.
    meter.Start();
    QTimer::singleShot(2000, [&] { app.exit(); });
    app.exec();
    const qint64 idleStall = meter.Stop();

    // Reference: every clip probed on the UI thread, one timer turn each.
    std::vector<std::unique_ptr<Tm2tsFichier>> probed;
    const std::vector<TFindData> entries = FindFiles(dir.path() + "/*.m2ts");
    QElapsedTimer timer;
    meter.Start();
    timer.start();
    QTimer::singleShot(0, [&] {
        for (const TFindData &entry : entries)
            probed.push_back(Tm2tsFichier::CreateFromEntry(dir.path() + "/", entry));
        app.exit();
    });
    app.exec();
    const double referenceSeconds = timer.elapsed() / 1000.0;
    const qint64 referenceStall = meter.Stop();

    // The list: a worker probes, the UI thread inserts.
    TFichierListBox lb;
    lb.resize(273, 354);
    lb.show();
    lb.SetRecordClass(TlfCLass::M2tsFichier());
    lb.OnOpenTestExtension = [](const QString &wfilename) { return wfilename.endsWith(".m2ts"); };
    // The UI thread's own share of each hand-over: from the start of the
    // insertion (BeforeLister) to the end of its announcement.
    QElapsedTimer insertion;
    qint64 longestInsertion = 0;
    lb.BeforeLister = [&](TAbstractListFichier *) {
        insertion.start();
        return true;
    };
    lb.OnOpenFileFound = [&](const QString &, TAbstractListFichier *) {
        longestInsertion = std::max(longestInsertion, insertion.nsecsElapsed());
    };
    int opened = -1;
    lb.OnOpenEnd = [&](int nb) {
        opened = nb;
        app.exit();
    };
    meter.Start();
    timer.start();
    lb.OpenFolder(dir.path());
    app.exec();
    const double listSeconds = timer.elapsed() / 1000.0;
    const qint64 listStall = meter.Stop();

    std::printf("clips: %d opened of %d\n", opened, count);
    std::printf("idle event loop:                      longest stall %lld ms\n",
                static_cast<long long>(idleStall));
    std::printf("reference (probing on the UI thread): %.2f s, %.1f clips/s, longest stall %lld ms\n",
                referenceSeconds, count / referenceSeconds, static_cast<long long>(referenceStall));
    std::printf(
        "clip list (probing on a worker):      %.2f s, %.1f clips/s, longest stall %lld ms (aim < 50 ms)\n",
        listSeconds, opened / listSeconds, static_cast<long long>(listStall));
    std::printf("longest insertion of one clip on the UI thread: %.3f ms\n", longestInsertion / 1e6);
    std::printf("ratio clips/s list/reference: %.2f; longest stall list/reference: %.3f\n",
                (opened / listSeconds) / (count / referenceSeconds),
                double(listStall) / double(referenceStall));
    return opened == count ? 0 : 1;
}
