// The demultiplexer driven as the application drives it: DemuxDisc builds
// the real command-line text, runs the built eac3to in the stream folder
// and collects what it wrote.
#include <gtest/gtest.h>

#include "src/authoring/toolsteps.h"
#include "src/clips/listfichier.h"
#include "src/platform/shell.h"
#include "src/preview/mediadevice.h"
#include "tests/tools/demux/runprogram.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

constexpr int64_t kSecond = 10'000'000;

QString Fixture(const char *name)
{
    return QStringLiteral(TAVREL_FIXTURE_DIR "/") + name + ".m2ts";
}

long FramesOf(const QString &path)
{
    TRunResult r =
        RunProgram({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                    "stream=nb_read_frames", "-of", "csv=p=0", path.toStdString()});
    return r.ExitStatus == 0 ? std::stol(r.Out) : -1;
}

TEST(DemuxDiscWithEac3to, CollectsExactlyTheTwoStreams)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Folder and clip names with "+", spaces and accents, as camcorder
    // folders copied by users have.
    const QString clips = dir.path() + QStringLiteral("/vacances + été/");
    const QString flux = dir.path() + QStringLiteral("/flux 1/");
    ASSERT_TRUE(QDir().mkpath(clips) && QDir().mkpath(flux));
    struct
    {
        const char *Fixture;
        QString Name;
        int64_t Duration;
    } parts[] = {{"small1s", QStringLiteral("00001 a.m2ts"), 1 * kSecond},
                 {"videoonly", QStringLiteral("b+c.m2ts"), 2 * kSecond},
                 {"small3s", QStringLiteral("ç.m2ts"), 3 * kSecond}};

    std::vector<std::unique_ptr<Tm2tsFichier>> records;
    TDisque disc(kDiscCapacity);
    disc.Number = 1;
    disc.Project = QStringLiteral("vacances");
    long frames = 0;
    for (const auto &part : parts) {
        ASSERT_TRUE(QFile::copy(Fixture(part.Fixture), clips + part.Name));
        frames += FramesOf(Fixture(part.Fixture));
        const int64_t duration = part.Duration;
        records.push_back(Tm2tsFichier::CreateFromPath(clips + part.Name, [duration](const QString &path) {
            return std::make_unique<Tm2tsFileDevice>(path, TKnownClip {duration});
        }));
        ASSERT_EQ(disc.AddClip(records.back().get()), acAdded);
    }

    TSettings settings;
    settings.DossierFlux = flux;
    settings.eac3tofile = QStringLiteral(TAVREL_BIN_DIR "/eac3to");
    const QString before = GetCurrentFolder();
    QByteArray out, err;
    const TStepResult code = DemuxDisc(disc, settings, [&](const QByteArray &o, const QByteArray &e, bool &) {
        out += o;
        err += e;
    });
    EXPECT_EQ(code, TStepResult::Done);
    EXPECT_EQ(GetCurrentFolder(), before);
    EXPECT_TRUE(err.isEmpty()) << err.constData();
    EXPECT_TRUE(out.contains("100%")) << out.constData();

    EXPECT_EQ(disc.StreamBase, QStringLiteral("00001 a"));
    QStringList streams = disc.Streams;
    streams.sort();
    EXPECT_EQ(streams, QStringList({flux + "00001 a.ac3", flux + "00001 a.h264"}));
    EXPECT_EQ(QDir(flux).entryList(QDir::Files | QDir::Hidden), QStringList({"00001 a.ac3", "00001 a.h264"}));
    EXPECT_EQ(FramesOf(flux + "00001 a.h264"), frames);
    EXPECT_EQ(disc.Chapters.getmetastring(), "00:00:00.000;00:00:01.000;00:00:03.000");
}

}  // namespace
