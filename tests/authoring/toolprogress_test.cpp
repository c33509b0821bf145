// The progress read from the programs' output, the run's texts in the
// status bar and the log, and the French reasons of their failures.
#include "src/authoring/failurereasons.h"
#include "src/authoring/runreport.h"
#include "src/authoring/toolprogress.h"
#include "src/authoring/toolsteps.h"

#include <gtest/gtest.h>

namespace {

constexpr int64_t kSecond = 10'000'000;

struct UpdateCase
{
    const char *line;
    bool progress;
    const char *stage;
    int percent;
};

TEST(ToolProgress, ReadsTheUpdatesOfTheThreePrograms)
{
    const UpdateCase cases[] = {
        {"Demuxing... 43%", true, "Demuxing", 43},
        {"Muxing: 7%", true, "Muxing", 7},
        {"Writing: 100%", true, "Writing", 100},
        {"Verifying: 0%", true, "Verifying", 0},
        {"  25%", true, "", 25},
        {"Demuxing... 101%", false, "", 0},
        {"Video: 2500 frames, 50%", false, "", 0},
        {"Volume label: P1 - Disque 1", false, "", 0},
        {"warning: the streams reach 30.1 Mbit/s", false, "", 0},
        {"", false, "", 0},
    };
    for (const UpdateCase &c : cases) {
        QByteArray stage;
        int percent = -1;
        ASSERT_EQ(TToolProgress::ReadProgress(c.line, stage, percent), c.progress) << c.line;
        if (c.progress) {
            EXPECT_EQ(stage, QByteArray(c.stage)) << c.line;
            EXPECT_EQ(percent, c.percent) << c.line;
        }
    }
}

// The output the demultiplexer writes, cut into pieces anywhere: the log
// gets its other lines whole and once, the percentage follows.
TEST(ToolProgress, KeepsOtherLinesWholeWhateverThePieces)
{
    const QByteArray output = "Input: 2 clips\n\rDemuxing... 0%\rDemuxing... 43%\rDemuxing... 100%\n"
                              "Video: 2500 frames\n";
    for (int cut = 1; cut < output.size(); ++cut) {
        TToolProgress progress;
        QByteArray lines = progress.Feed(output.left(cut));
        lines += progress.Feed(output.mid(cut));
        lines += progress.Finish();
        EXPECT_EQ(lines, QByteArray("Input: 2 clips\nVideo: 2500 frames\n")) << cut;
        EXPECT_EQ(progress.Percent(), 100) << cut;
        EXPECT_EQ(progress.Stage(), QByteArray("Demuxing")) << cut;
    }
}

TEST(ToolProgress, TheUpdateShownCountsBeforeItsLineEnds)
{
    TToolProgress progress;
    EXPECT_EQ(progress.Percent(), -1);
    EXPECT_TRUE(progress.Feed("\rMuxing: 12%").isEmpty());
    EXPECT_EQ(progress.Percent(), 12);
    EXPECT_TRUE(progress.Feed("\rMuxing: 40%").isEmpty());
    EXPECT_EQ(progress.Percent(), 40);
    // A burner's stages follow each other.
    EXPECT_TRUE(progress.Feed("\rWriting: 100%\n\rVerifying: 3%").isEmpty());
    EXPECT_EQ(progress.Stage(), QByteArray("Verifying"));
    EXPECT_EQ(progress.Percent(), 3);
    EXPECT_TRUE(progress.Finish().isEmpty());
}

TEST(ToolProgress, BackspacesRedrawToo)
{
    TToolProgress progress;
    EXPECT_EQ(progress.Feed("0%\b\b25%\b\b\b50%\b\b\bdone\n"), QByteArray("done\n"));
    EXPECT_EQ(progress.Percent(), 50);
}

TEST(ToolProgress, AnUnfinishedLastLineIsKept)
{
    TToolProgress progress;
    EXPECT_TRUE(progress.Feed("Done.").isEmpty());
    EXPECT_EQ(progress.Finish(), QByteArray("Done.\n"));
    EXPECT_TRUE(progress.Finish().isEmpty());
}

// A log of a 4 GB disc's demux: a hundred updates and three other lines
// become those three lines.
TEST(ToolProgress, AHundredUpdatesLeaveNoLine)
{
    TToolProgress progress;
    QByteArray lines = progress.Feed("eac3to: 3 clips\n");
    for (int percent = 0; percent <= 100; ++percent)
        lines += progress.Feed("\rDemuxing... " + QByteArray::number(percent) + '%');
    lines += progress.Feed("\nVideo: 90000 frames\nAudio: 150000 frames\n");
    EXPECT_EQ(lines.count('\n'), 3) << lines.constData();
}

struct SummaryCase
{
    TRunSummary summary;
    const char *text;
    TStatusKind kind;
};

TEST(RunSummary, TextAndColour)
{
    const SummaryCase cases[] = {
        {{2, 1, 1, 0, 0},
         "Terminé : 2 disques prêts, 1 gravé, 1 échec (voir le journal)",
         TStatusKind::Error},
        {{1, 0, 0, 0, 0}, "Terminé : 1 disque prêt", TStatusKind::Normal},
        {{0, 3, 0, 0, 0}, "Terminé : 3 gravés", TStatusKind::Normal},
        {{3, 0, 0, 1, 0},
         "Terminé : 3 disques prêts, 1 avec avertissements (voir le journal)",
         TStatusKind::Interrupted},
        {{1, 0, 0, 0, 1}, "Interrompu : 1 disque prêt, 1 interrompu", TStatusKind::Interrupted},
        {{0, 0, 2, 0, 1}, "Interrompu : 1 interrompu, 2 échecs (voir le journal)", TStatusKind::Error},
        {{0, 0, 0, 0, 0}, "Terminé : aucun disque traité", TStatusKind::Normal},
    };
    for (const SummaryCase &c : cases) {
        EXPECT_EQ(c.summary.Text(), QString::fromUtf8(c.text));
        EXPECT_EQ(c.summary.Kind(), c.kind) << c.text;
    }
    EXPECT_TRUE(TRunSummary {}.FailuresText().isEmpty());
    EXPECT_EQ((TRunSummary {0, 0, 2, 0, 0}.FailuresText()), QStringLiteral("2 échecs (voir le journal)"));
}

TEST(RunTexts, StepUnderWayAndItsEnd)
{
    const QString disc = QStringLiteral("Disque 01");
    EXPECT_EQ(StepProgressText(skDemux, disc, 43), QStringLiteral("Démultiplexage du Disque 01 : 43 %"));
    EXPECT_EQ(StepProgressText(skMux, disc, -1), QStringLiteral("Multiplexage du Disque 01"));
    EXPECT_EQ(StepProgressText(skBurn, disc, 100), QStringLiteral("Gravure du Disque 01 : 100 %"));
    EXPECT_EQ(StepProgressText(skBurn, disc, 3, true), QStringLiteral("Vérification du Disque 01 : 3 %"));

    EXPECT_EQ(StepEndText(skDemux, disc, TStepResult::Done, 125 * kSecond),
              QStringLiteral("Démultiplexage du Disque 01 : terminé en 2mn 05s"));
    EXPECT_EQ(StepEndText(skMux, disc, TStepResult::Warnings, kSecond / 2),
              QStringLiteral("Multiplexage du Disque 01 : terminé avec des avertissements en 0s"));
    EXPECT_EQ(StepEndText(skBurn, disc, TStepResult::Interrupted, 3 * kSecond),
              QStringLiteral("Gravure du Disque 01 : interrompu après 3s"));
    EXPECT_EQ(StepEndText(skBurn, disc, TStepResult::BurnFailed, 3700 * kSecond),
              QStringLiteral("Gravure du Disque 01 : échec après 1h 01mn 40s"));
}

TEST(RunTexts, TimeLeftAtThePaceOfTheDiscsDone)
{
    // No disc ended yet: no guess.
    EXPECT_EQ(EstimateTimeLeft(0, 0, 10, 100), -1);
    // 100 s for the first 25 units; 50 units done now, 50 to go: 200 s.
    EXPECT_EQ(EstimateTimeLeft(100 * kSecond, 25, 50, 100), 200 * kSecond);
    EXPECT_EQ(EstimateTimeLeft(100 * kSecond, 25, 100, 100), 0);
    EXPECT_EQ(TimeLeftText(200 * kSecond), QStringLiteral("environ 3mn 20s restantes"));
    EXPECT_EQ(TimeLeftText(201 * kSecond), QStringLiteral("environ 3mn 30s restantes"));
    EXPECT_EQ(TimeLeftText(0), QStringLiteral("environ 0s restantes"));
}

TEST(FailureReasons, WhatTheUserMeetsInFrench)
{
    const std::pair<const char *, const char *> cases[] = {
        {"No optical drive found.\n", "aucun graveur de DVD n'a été trouvé"},
        {"The drive /dev/sr0 holds no disc; a blank writable disc is needed.\n",
         "le graveur ne contient pas de disque vierge inscriptible"},
        {"The image needs 5000 bytes but the medium in /dev/sr0 holds only 4000 bytes; nothing was "
         "written.\n",
         "le disque est trop petit pour ce contenu"},
        {"eac3to: error: /f/00001.h264: cannot write /f/00001.h264: No space left on device\n",
         "le disque dur est plein"},
        {"cannot create the output folder \"/a/P/Disque 01\": Permission denied\n",
         "un dossier n'est pas accessible en écriture (permission refusée)"},
        {"eac3to: error: /c/x.m2ts: cannot read the transport stream: Invalid data found\n",
         "un clip est endommagé ou n'est pas une vidéo AVCHD"},
        {"something else\n", ""},
    };
    for (const auto &[output, reason] : cases)
        EXPECT_EQ(ToolFailureReason(output), QString::fromUtf8(reason)) << output;
}

}  // namespace
