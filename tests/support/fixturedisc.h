// Fixture clips (build/fixtures, made by tests/fixtures/make_fixtures.sh)
// put on a disc as the split does, for tests that take a disc through the
// steps with the programs this project builds.
#pragma once

#include "src/authoring/disque.h"
#include "src/clips/listfichier.h"
#include "src/prefs/settings.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// The record of a fixture clip whose duration (100 ns) is given, so that
// nothing probes the file.
std::unique_ptr<Tm2tsFichier> FixtureClip(const QString &name, int64_t duration);

// A step's output handler outside the driver: the program stops once
// AbortRequested is set.
void KeepAbortFlag(const QByteArray &output, const QByteArray &errorOutput, bool &abort);

// Settings whose stream, meta and AVCHD folders are made in root (which
// ends with "/"); the programs are left to the caller.
TSettings WorkFoldersIn(const QString &root);

// Disque 01 of the project "Vacances": small1s.m2ts (1 s) then small3s.m2ts
// (3 s). The records stay with it, as the clip list keeps them.
struct TFixtureDisc
{
    std::vector<std::unique_ptr<Tm2tsFichier>> Clips;
    TDisque Disc {kDiscCapacity};

    TFixtureDisc();
};
