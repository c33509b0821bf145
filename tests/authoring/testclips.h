// Clip records of chosen size and duration for disc tests: the file is a
// sparse file of that size, the duration is given instead of measured.
#pragma once

#include "src/clips/listfichier.h"
#include "src/preview/mediadevice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>
#include <vector>

inline constexpr int64_t Second = 10'000'000;

// Picture durations (100 ns) of the disc frame rates.
inline constexpr int64_t Picture25 = 400'000;
inline constexpr int64_t Picture2997 = 333'667;

inline std::unique_ptr<Tm2tsFichier> MakeClip(const QString &path, int64_t size, int64_t duration,
                                              int64_t pictureDuration = 0)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(size))
        return nullptr;
    file.close();
    return Tm2tsFichier::CreateFromPath(path, [duration, pictureDuration](const QString &fullPath) {
        return std::make_unique<Tm2tsFileDevice>(fullPath, TKnownClip {duration, 1, 1, pictureDuration});
    });
}

// Owns the records, as the clip list does, and hands out the list.
struct TestClipList
{
    std::vector<std::unique_ptr<Tm2tsFichier>> records;

    const Tm2tsFichier *Add(const QString &path, int64_t size, int64_t duration = 10 * Second,
                            int64_t pictureDuration = 0)
    {
        records.push_back(MakeClip(path, size, duration, pictureDuration));
        return records.back().get();
    }
    QList<const Tm2tsFichier *> List() const
    {
        QList<const Tm2tsFichier *> list;
        for (const auto &r : records)
            list << r.get();
        return list;
    }
};
