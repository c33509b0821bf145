// The texts of a processing run in the status bar: the step under way with
// its percentage, the time the run has left, and the summary that stays
// once the run has ended.
#pragma once

#include "src/authoring/statuskind.h"
#include "src/authoring/stepresult.h"

#include <QString>

#include <cstdint>

// What a run ("Disque Actuel", "Tous Disques", "Graver", and the burns of
// the burn thread meanwhile) did to its discs.
struct TRunSummary
{
    int Ready = 0;  // discs the run made ready for burning
    int Burnt = 0;
    int Failed = 0;  // discs whose step failed
    int Warnings = 0;  // discs whose program warned
    int Interrupted = 0;

    // "Terminé : 2 disques prêts, 1 gravé, 1 échec (voir le journal)", or
    // "Interrompu : …" once a step was interrupted.
    QString Text() const;
    // "1 échec (voir le journal)"; empty without failure.
    QString FailuresText() const;
    // Error after a failure, interrupted (the warning colour) after
    // warnings or an interruption, normal otherwise.
    TStatusKind Kind() const;
};

// The three steps as the status bar and the log name them.
enum TStepKind { skDemux, skMux, skBurn };

// "Démultiplexage du Disque 01 : 43 %"; without a percentage yet, the
// step and the disc alone. A burn being verified reads "Vérification".
QString StepProgressText(TStepKind step, const QString &discName, int percent, bool verifying = false);

// How a step ended, for the log: "Démultiplexage du Disque 01 : terminé en
// 2mn 05s".
QString StepEndText(TStepKind step, const QString &discName, TStepResult result, int64_t duration);

// The time a run has left, in 100 ns, at the pace of its work until the
// last disc ended (doneAtCheckpoint units of work in elapsedAtCheckpoint);
// doneNow of total units are done now. -1 before a disc has ended.
int64_t EstimateTimeLeft(int64_t elapsedAtCheckpoint, int64_t doneAtCheckpoint, int64_t doneNow,
                         int64_t total);
// "environ 12mn 30s restantes"
QString TimeLeftText(int64_t timeLeft);
