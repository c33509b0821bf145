// Clip records of chosen size and duration for disc tests: the file is a
// sparse file of that size, the duration is given instead of measured.
#pragma once

#include "clips/listfichier.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>
#include <vector>

inline constexpr int64_t Second = 10'000'000;

inline std::unique_ptr<Tm2tsFichier> MakeClip(const QString &path, int64_t size, int64_t duration)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(size))
        return nullptr;
    file.close();
    return Tm2tsFichier::CreateFromPath(path, [duration](const QString &fullPath) {
        return std::make_unique<Tm2tsFileDevice>(fullPath, TKnownClip{duration});
    });
}

// Owns the records, as the clip list does, and hands out the list.
struct TestClipList {
    std::vector<std::unique_ptr<Tm2tsFichier>> records;

    const Tm2tsFichier *Add(const QString &path, int64_t size, int64_t duration = 10 * Second)
    {
        records.push_back(MakeClip(path, size, duration));
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
