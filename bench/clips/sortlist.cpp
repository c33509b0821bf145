// 20,000 clip records made without probing, added to the clip list in
// "alpha" order, then re-sorted by "taille". The reference is the sort of
// the same keys alone, with the same comparison, measured in the same run.
//
// usage: tavrel_bench_sortlist [COUNT]   (20000 by default)
#include "src/clips/fichierlistbox.h"
#include "src/preview/mediadevice.h"

#include <gst/gst.h>

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <random>

namespace {

std::vector<std::unique_ptr<TAbstractListFichier>> MakeRecords(int count)
{
    std::mt19937_64 random(20000);
    const TlfCLass m2ts = TlfCLass::M2tsFichier(
        [](const QString &path) { return std::make_unique<Tm2tsFileDevice>(path, TKnownClip {60'000'000}); });
    std::vector<std::unique_ptr<TAbstractListFichier>> records;
    for (int i = 0; i < count; ++i) {
        TFindData entry;
        entry.FileName = QString("%1_Clip%2.MTS").arg(random() % 100000, 5, 10, QChar('0')).arg(i);
        const std::uint64_t size = 50'000'000 + random() % 6'000'000'000ULL;
        entry.SizeHigh = std::uint32_t(size >> 32);
        entry.SizeLow = std::uint32_t(size);
        entry.LastWriteTime.Seconds = 1'300'000'000 + std::int64_t(random() % 300'000'000);
        records.push_back(
            m2ts.CreateFromEntry(QString("/media/camera/AVCHD/BDMV/STREAM%1/").arg(i % 7), entry));
    }
    return records;
}

double Seconds(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e9;
}

// Sorting the keys alone under sortIndex, as the reference.
double ReferenceSort(const std::vector<std::unique_ptr<TAbstractListFichier>> &records,
                     const TSortIndex &sortIndex)
{
    QElapsedTimer timer;
    timer.start();
    QStringList keys;
    for (const auto &record : records)
        keys.append(record->GetSortKey(sortIndex));
    TSortedKeys sorted;
    sorted.Assign(keys);
    return Seconds(timer);
}

}  // namespace

int main(int argc, char *argv[])
{
    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 20000;
    auto records = MakeRecords(count);
    const double referenceAlpha = ReferenceSort(records, SortAlpha);
    const double referenceTaille = ReferenceSort(records, SortTaille);

    TFichierListBox lb;
    lb.resize(273, 354);
    lb.show();
    QElapsedTimer timer;
    timer.start();
    for (auto &record : records)
        lb.AddFile(std::move(record), false);
    app.processEvents();
    const double addSeconds = Seconds(timer);

    timer.start();
    lb.SortBy(SortTaille);
    app.processEvents();
    const double sortSeconds = Seconds(timer);

    std::printf("records: %d listed of %d\n", lb.count(), count);
    std::printf(
        "adding in \"alpha\" order: %.3f s (aim < 1 s); reference sort of the keys: %.3f s; ratio %.1f\n",
        addSeconds, referenceAlpha, addSeconds / referenceAlpha);
    std::printf(
        "re-sorting by \"taille\":  %.3f s (aim < 1 s); reference sort of the keys: %.3f s; ratio %.1f\n",
        sortSeconds, referenceTaille, sortSeconds / referenceTaille);
    return lb.count() == count ? 0 : 1;
}
