#include "tests/support/fixturedisc.h"

#include "src/authoring/abort.h"
#include "src/preview/mediadevice.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

constexpr int64_t kSecond = 10'000'000;

}  // namespace

std::unique_ptr<Tm2tsFichier> FixtureClip(const QString &name, int64_t duration)
{
    return Tm2tsFichier::CreateFromPath(
        QStringLiteral(TAVREL_FIXTURE_DIR "/") + name, [duration](const QString &path) {
            return std::make_unique<Tm2tsFileDevice>(path, TKnownClip {duration});
        });
}

void KeepAbortFlag(const QByteArray &, const QByteArray &, bool &abort)
{
    abort = AbortRequested;
}

TSettings WorkFoldersIn(const QString &root)
{
    for (const char *sub : {"flux", "meta", "avchd"})
        EXPECT_TRUE(QDir().mkpath(root + QLatin1String(sub))) << root.toStdString() << sub;
    TSettings settings;
    settings.DossierFlux = root + QStringLiteral("flux/");
    settings.Dossiermeta = root + QStringLiteral("meta/");
    settings.DossierAVCHD = root + QStringLiteral("avchd");
    return settings;
}

TFixtureDisc::TFixtureDisc()
{
    Clips.push_back(FixtureClip(QStringLiteral("small1s.m2ts"), 1 * kSecond));
    Clips.push_back(FixtureClip(QStringLiteral("small3s.m2ts"), 3 * kSecond));
    Disc.Number = 1;
    Disc.Project = QStringLiteral("Vacances");
    for (const auto &clip : Clips)
        EXPECT_EQ(Disc.AddClip(clip.get()), acAdded) << clip->FullPath().toStdString();
}
